// The language of the windows: which one a user's environment chooses, how a
// finished status or error text of ours is put into English (and a text that
// is not ours is left alone), and that the command line does not change.
#include "TestSupport.h"
#include "Translations.h"
#include "UserText.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTranslator>

#include <gtest/gtest.h>

namespace {

using Translations::Language;

TEST(Translations, TheFirstOfTheUsersLanguagesThatWeHaveChoosesAndEveryOtherGetsEnglish)
{
    struct Case
    {
        const char *why;
        QList<std::pair<const char *, const char *>> variables;
        Language expected;
    };
    const Case cases[] = {
        {"a Chinese desktop", {{"LANG", "zh_CN.UTF-8"}}, Language::Chinese},
        {"traditional Chinese reads the originals too", {{"LANG", "zh_TW.UTF-8"}}, Language::Chinese},
        {"an English desktop", {{"LANG", "en_US.UTF-8"}}, Language::English},
        {"German, which we do not have", {{"LANG", "de_DE.UTF-8"}}, Language::English},
        {"German first, then Chinese", {{"LANGUAGE", "de:zh_CN"}, {"LANG", "de_DE.UTF-8"}}, Language::Chinese},
        {"English before Chinese", {{"LANGUAGE", "fr:en_GB:zh_CN"}}, Language::English},
        {"the C locale", {{"LANG", "C"}}, Language::English},
        {"nothing set at all", {}, Language::English},
        {"LANGUAGE counts even under the C locale", {{"LANGUAGE", "zh_CN"}, {"LANG", "C"}}, Language::Chinese},
        {"LC_ALL before LANG", {{"LC_ALL", "en_US.UTF-8"}, {"LANG", "zh_CN.UTF-8"}}, Language::English},
        {"LC_MESSAGES before LANG", {{"LC_MESSAGES", "zh_CN.UTF-8"}, {"LANG", "en_US.UTF-8"}}, Language::Chinese},
        {"an empty LANGUAGE is no list", {{"LANGUAGE", ""}, {"LANG", "zh_CN.GB18030"}}, Language::Chinese},
        {"a modifier is left off", {{"LANG", "zh_SG.UTF-8@pinyin"}}, Language::Chinese},
    };
    for (const Case &c : cases) {
        QProcessEnvironment environment;
        for (const auto &[name, value] : c.variables)
            environment.insert(QLatin1String(name), QLatin1String(value));
        const QStringList languages = Translations::uiLanguages(environment);
        EXPECT_EQ(Translations::choose(languages), c.expected)
            << c.why << ": " << languages.join(QLatin1Char(':')).toStdString();
    }
    QString matched;
    Translations::choose({QStringLiteral("de_DE"), QStringLiteral("zh_TW")}, &matched);
    EXPECT_EQ(matched, QStringLiteral("zh_TW")) << "the entry that chose, for Qt's own texts";
}

class ShownTexts : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(english.load(QStringLiteral(QUILLWREN_EN_QM))) << QUILLWREN_EN_QM;
        ASSERT_TRUE(QCoreApplication::installTranslator(&english));
    }
    void TearDown() override { QCoreApplication::removeTranslator(&english); }

    QTranslator english;
};

TEST_F(ShownTexts, OurTextsAndTheTextsBuiltFromThemAreShownInEnglishAndNothingElseIsTouched)
{
    const std::pair<const char *, const char *> cases[] = {
        {"已取消", "Cancelled"},
        // A transcript inside a status stays as it was said.
        {"识别中：今天天气不错", "Hearing: 今天天气不错"},
        {"识别中：完成率 50%1", "Hearing: 完成率 50%1"},
        // An error description inside a status is ours too.
        {"实时识别启动失败：连接超时 - 请检查 API Key 和网络连接",
         "Recognition did not start: Connection timed out - check the API key and the network"},
        {"分析失败：服务 3 秒没有回应，请求已放弃",
         "Reading the chat failed: The service did not answer for 3 s; the request was given up"},
        // The service's own words are passed on as they came.
        {"回复失败：Invalid API-key provided.", "The answer failed: Invalid API-key provided."},
        {"回复中断：LLM 流式请求失败 (500): 内部错误", "The answer stopped: Chat request failed (500): 内部错误"},
        // A placeholder used twice, and arguments that are texts of ours.
        {"这个 API Key 属于新加坡地域，而设置的是北京地域：在设置的 API Key 页选择新加坡，或运行 quillwren config set serviceRegion singapore",
         "This API key belongs to the Singapore region, but Beijing is set: choose Singapore on the API Key page of Settings, "
         "or run quillwren config set serviceRegion singapore"},
        {"⚠️ 快捷键冲突：语音输入法 与 聊天助手 使用了相同的修饰键",
         "⚠️ Shortcut conflict: Dictation and Chat assistant use the same modifier key"},
        // Not ours: as they are.
        {"Invalid API-key provided.", "Invalid API-key provided."},
        {"今天天气不错", "今天天气不错"},
        {"", ""},
    };
    for (const auto &[original, english] : cases)
        EXPECT_EQ(UserText::shown(QString::fromUtf8(original)).toStdString(), std::string(english));

    // Without the translation (a Chinese desktop) every text is the original, byte for byte.
    QCoreApplication::removeTranslator(&this->english);
    for (const auto &[original, english] : cases)
        EXPECT_EQ(UserText::shown(QString::fromUtf8(original)).toStdString(), std::string(original));
}

TEST(Translations, TheCommandLineAndItsJsonAreTheSameInEveryLanguage)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    QProcessEnvironment env = TestSupport::isolatedEnvironment(home);
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
    for (const QStringList &args : {QStringList{QStringLiteral("--help")}, QStringList{QStringLiteral("config"), QStringLiteral("show")},
                                    QStringList{QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("asrLanguage"),
                                                QStringLiteral("klingon")}}) {
        env.insert(QStringLiteral("LANGUAGE"), QStringLiteral("zh_CN"));
        const TestSupport::ProcessResult chinese = TestSupport::runQuillwren(args, env);
        env.insert(QStringLiteral("LANGUAGE"), QStringLiteral("en"));
        const TestSupport::ProcessResult english = TestSupport::runQuillwren(args, env);
        EXPECT_FALSE(chinese.out.isEmpty() && chinese.err.isEmpty()) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(english.exitCode, chinese.exitCode) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(english.out, chinese.out) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(english.err, chinese.err) << args.join(QLatin1Char(' ')).toStdString();
    }
}

} // namespace
