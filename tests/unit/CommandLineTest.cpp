#include "ShortcutConfig.h"
#include "TakeHistory.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using TestSupport::runQuillwren;

namespace {

class CommandLine : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        env = TestSupport::isolatedEnvironment(home);
        // No Secret Service here: the key commands must answer without one.
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
    }

    TestSupport::ProcessResult run(const QStringList &args, const QByteArray &input = {})
    {
        return runQuillwren(args, env, input);
    }

    QByteArray settingsFile() const
    {
        QFile file(home.filePath(QStringLiteral("orvo/Quillwren.conf")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QJsonObject shownConfig()
    {
        const auto result = run({QStringLiteral("config"), QStringLiteral("show")});
        EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
        return QJsonDocument::fromJson(result.out.toUtf8()).object();
    }

    QTemporaryDir home;
    QProcessEnvironment env;
};

TEST_F(CommandLine, HelpVersionAndUnknownCommands)
{
    auto help = run({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("config set FIELD VALUE")));
    EXPECT_TRUE(help.out.contains(QStringLiteral("option = Alt")));

    auto version = run({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith(QStringLiteral("quillwren 0."))) << version.out.toStdString();

    for (const QStringList &args : {QStringList{QStringLiteral("run"), QStringLiteral("now")},
                                    QStringList{QStringLiteral("frobnicate")},
                                    QStringList{QStringLiteral("config")},
                                    QStringList{QStringLiteral("key"), QStringLiteral("show")}}) {
        auto result = run(args);
        EXPECT_EQ(result.exitCode, 2) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_FALSE(result.err.isEmpty());
        EXPECT_FALSE(result.crashed);
    }
    EXPECT_TRUE(settingsFile().isEmpty());
}

TEST_F(CommandLine, TheApplicationWithoutADesktopSaysSoAndEnds)
{
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("XDG_SESSION_TYPE"));
    for (const QStringList &args : {QStringList{}, QStringList{QStringLiteral("run")}}) {
        const auto result = run(args);
        EXPECT_EQ(result.exitCode, 1) << result.err.toStdString();
        EXPECT_TRUE(result.err.contains(QStringLiteral("no graphical session"))) << result.err.toStdString();
    }
    // A Wayland session without XWayland is named as such, with the way out.
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-quillwren-test"));
    env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    const auto wayland = run({QStringLiteral("run")});
    EXPECT_EQ(wayland.exitCode, 1);
    EXPECT_TRUE(wayland.err.contains(QStringLiteral("has no XWayland"))) << wayland.err.toStdString();
    EXPECT_TRUE(wayland.err.contains(QStringLiteral("xwayland enable"))) << wayland.err.toStdString();

    const auto status = run({QStringLiteral("status")});
    EXPECT_EQ(status.exitCode, 1);
    EXPECT_TRUE(status.err.contains(QStringLiteral("Quillwren is not running")));
}

TEST_F(CommandLine, TheBindingCommandsCheckTheModeBeforeAskingTheInstance)
{
    // A bad command line is status 2 whether or not an instance runs.
    for (const QStringList &args : {QStringList{QStringLiteral("hold")}, QStringList{QStringLiteral("hold"), QStringLiteral("dictate")},
                                    QStringList{QStringLiteral("toggle"), QStringLiteral("voice"), QStringLiteral("chat")},
                                    QStringList{QStringLiteral("release"), QStringLiteral("Voice")}}) {
        const auto result = run(args);
        EXPECT_EQ(result.exitCode, 2) << args.join(u' ').toStdString();
        EXPECT_FALSE(result.err.isEmpty());
    }
    EXPECT_TRUE(run({QStringLiteral("hold"), QStringLiteral("dictate")}).err.contains(QStringLiteral("voice, chat and reply")));
    // A good one without an instance is status 1 and says why.
    for (const QStringList &args : {QStringList{QStringLiteral("hold"), QStringLiteral("voice")},
                                    QStringList{QStringLiteral("release")}, QStringList{QStringLiteral("toggle"), QStringLiteral("reply")}}) {
        const auto result = run(args);
        EXPECT_EQ(result.exitCode, 1) << args.join(u' ').toStdString();
        EXPECT_TRUE(result.err.contains(QStringLiteral("Quillwren is not running"))) << result.err.toStdString();
    }
}

TEST_F(CommandLine, ShowPrintsBothRecordsAndWritesNothing)
{
    const QJsonObject shown = shownConfig();
    EXPECT_EQ(QJsonDocument(shown.value(QStringLiteral("shortcutConfigV2")).toObject()).toJson(QJsonDocument::Compact),
              QJsonDocument::fromJson(ShortcutConfig::defaults().toJson()).toJson(QJsonDocument::Compact));
    const QJsonObject app = shown.value(QStringLiteral("appConfig")).toObject();
    EXPECT_EQ(app.value(QStringLiteral("llmModel")).toString(), QStringLiteral("qwen3.5-flash"));
    EXPECT_EQ(app.size(), 35);
    EXPECT_TRUE(app.value(QStringLiteral("keepHistory")).toBool());
    EXPECT_EQ(app.value(QStringLiteral("keyRoute")).toString(), QStringLiteral("auto"));
    EXPECT_EQ(app.value(QStringLiteral("serviceRegion")).toString(), QStringLiteral("beijing"));
    const QJsonObject endpoints = shown.value(QStringLiteral("endpoints")).toObject();
    EXPECT_EQ(endpoints.value(QStringLiteral("webSocket")).toString(),
              QStringLiteral("wss://dashscope.aliyuncs.com/api-ws/v1/inference/"));
    EXPECT_EQ(endpoints.value(QStringLiteral("compatibleMode")).toString(),
              QStringLiteral("https://dashscope.aliyuncs.com/compatible-mode/v1"));
    EXPECT_EQ(endpoints.value(QStringLiteral("native")).toString(), QStringLiteral("https://dashscope.aliyuncs.com/api/v1"));
    EXPECT_TRUE(settingsFile().isEmpty());
}

TEST_F(CommandLine, SetStoresOneFieldOfEitherRecord)
{
    EXPECT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("llmModel"),
                   QStringLiteral("qwen-plus")}).exitCode, 0);
    EXPECT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("enableLLMPolish"),
                   QStringLiteral("true")}).exitCode, 0);
    EXPECT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("bffReply.enabled"),
                   QStringLiteral("false")}).exitCode, 0);
    EXPECT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("chatAssistant.modifier"),
                   QStringLiteral("shift")}).exitCode, 0);
    EXPECT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("keyRoute"),
                   QStringLiteral("portal")}).exitCode, 0);
    EXPECT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("serviceRegion"),
                   QStringLiteral("singapore")}).exitCode, 0);
    EXPECT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("workspaceId"),
                   QStringLiteral("llm-abc123")}).exitCode, 0);
    EXPECT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("asrLanguage"),
                   QStringLiteral("en")}).exitCode, 0);
    EXPECT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("handsFreeChatAssistant"),
                   QStringLiteral("true")}).exitCode, 0);
    EXPECT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("handsFreeLimitSeconds"),
                   QStringLiteral("120")}).exitCode, 0);
    EXPECT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("dictationCleanup"),
                   QStringLiteral("full")}).exitCode, 0);
    EXPECT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("cleanupSkipApps"),
                   QStringLiteral(" code, ,org.gnome.Terminal ")}).exitCode, 0);
    EXPECT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("speechService"),
                   QStringLiteral("openai")}).exitCode, 0);
    EXPECT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("speechBaseURL"),
                   QStringLiteral(" http://localhost:8000/v1 ")}).exitCode, 0);

    const QJsonObject shown = shownConfig();
    // The workspace's host in the Singapore region, for all three.
    const QJsonObject endpoints = shown.value(QStringLiteral("endpoints")).toObject();
    EXPECT_EQ(endpoints.value(QStringLiteral("webSocket")).toString(),
              QStringLiteral("wss://llm-abc123.ap-southeast-1.maas.aliyuncs.com/api-ws/v1/inference/"));
    EXPECT_EQ(endpoints.value(QStringLiteral("native")).toString(),
              QStringLiteral("https://llm-abc123.ap-southeast-1.maas.aliyuncs.com/api/v1"));
    const QJsonObject app = shown.value(QStringLiteral("appConfig")).toObject();
    EXPECT_EQ(app.value(QStringLiteral("keyRoute")).toString(), QStringLiteral("portal"));
    EXPECT_EQ(app.value(QStringLiteral("llmModel")).toString(), QStringLiteral("qwen-plus"));
    EXPECT_TRUE(app.value(QStringLiteral("enableLLMPolish")).toBool());
    EXPECT_EQ(app.value(QStringLiteral("vlModel")).toString(), QStringLiteral("qwen-vl-max"));
    EXPECT_TRUE(app.value(QStringLiteral("handsFreeChatAssistant")).toBool());
    EXPECT_EQ(app.value(QStringLiteral("handsFreeLimitSeconds")).toInt(), 120) << "stored as a number";
    EXPECT_EQ(app.value(QStringLiteral("dictationCleanup")).toString(), QStringLiteral("full"));
    EXPECT_EQ(app.value(QStringLiteral("speechService")).toString(), QStringLiteral("openai"));
    EXPECT_EQ(app.value(QStringLiteral("speechBaseURL")).toString(), QStringLiteral("http://localhost:8000/v1"));
    EXPECT_EQ(app.value(QStringLiteral("cleanupSkipApps")).toArray(),
              (QJsonArray{QStringLiteral("code"), QStringLiteral("org.gnome.Terminal")}))
        << "a comma-separated list, blanks trimmed";
    const QJsonObject shortcuts = shown.value(QStringLiteral("shortcutConfigV2")).toObject();
    EXPECT_FALSE(shortcuts.value(QStringLiteral("bffReply")).toObject().value(QStringLiteral("enabled")).toBool());
    EXPECT_EQ(shortcuts.value(QStringLiteral("chatAssistant")).toObject().value(QStringLiteral("modifier")).toString(),
              QStringLiteral("shift"));
}

TEST_F(CommandLine, SettingASharedModifierWarnsButStores)
{
    auto result = run({QStringLiteral("config"), QStringLiteral("set"),
                       QStringLiteral("voiceInput.modifier"), QStringLiteral("control")});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.err.contains(QStringLiteral("⚠️ 快捷键冲突：语音输入法 与 聊天助手 使用了相同的修饰键")))
        << result.err.toStdString();
}

TEST_F(CommandLine, BadFieldsAndValuesChangeNothing)
{
    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("ttsVoice"),
                   QStringLiteral("longanhuan")}).exitCode, 0);
    const QByteArray before = settingsFile();
    ASSERT_FALSE(before.isEmpty());

    const QList<QStringList> bad{
        {QStringLiteral("nosuchField"), QStringLiteral("x")},
        {QStringLiteral("voice_input.modifier"), QStringLiteral("shift")},
        {QStringLiteral("voiceInput"), QStringLiteral("shift")},
        {QStringLiteral("voiceInput.colour"), QStringLiteral("red")},
        {QStringLiteral("voiceInput.modifier"), QStringLiteral("Shift")},
        {QStringLiteral("voiceInput.modifier"), QStringLiteral("alt")},
        {QStringLiteral("voiceInput.enabled"), QStringLiteral("yes")},
        {QStringLiteral("enableLLMPolish"), QStringLiteral("1")},
        {QStringLiteral("llmModel.name"), QStringLiteral("x")},
        {QStringLiteral("keyRoute"), QStringLiteral("telepathy")},
        {QStringLiteral("serviceRegion"), QStringLiteral("hangzhou")},
        {QStringLiteral("serviceRegion"), QStringLiteral("Singapore")},
        {QStringLiteral("workspaceId"), QStringLiteral("evil.example.com/")},
        {QStringLiteral("workspaceId"), QStringLiteral("ws_1")},
        {QStringLiteral("asrLanguage"), QStringLiteral("de")},
        {QStringLiteral("handsFreeVoiceInput"), QStringLiteral("on")},
        {QStringLiteral("handsFreeLimitSeconds"), QStringLiteral("5")},
        {QStringLiteral("handsFreeLimitSeconds"), QStringLiteral("3601")},
        {QStringLiteral("handsFreeLimitSeconds"), QStringLiteral("1.5")},
        {QStringLiteral("handsFreeLimitSeconds"), QStringLiteral("forever")},
        {QStringLiteral("dictationCleanup"), QStringLiteral("on")},
        {QStringLiteral("dictationCleanup"), QStringLiteral("Light")},
        {QStringLiteral("speechService"), QStringLiteral("google")},
        {QStringLiteral("speechBaseURL"), QStringLiteral("ftp://example.com/v1")},
        {QStringLiteral("speechBaseURL"), QStringLiteral("localhost 8000")},
        {QStringLiteral("speechVoice"), QStringLiteral(" ")},
        {QStringLiteral("transcriptionService"), QStringLiteral("groq")},
        {QStringLiteral("transcriptionBaseURL"), QStringLiteral("api.groq.com")},
        {QStringLiteral("cleanupInstructions"), QString(501, QLatin1Char('x'))},
        {QStringLiteral("hotWords"), QStringLiteral("a,b")},
    };
    for (const QStringList &fieldValue : bad) {
        auto result = run(QStringList{QStringLiteral("config"), QStringLiteral("set")} + fieldValue);
        EXPECT_EQ(result.exitCode, 2) << fieldValue.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(result.err.contains(QStringLiteral("nothing was stored"))) << result.err.toStdString();
    }
    auto extra = run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("llmModel"),
                      QStringLiteral("a"), QStringLiteral("b")});
    EXPECT_EQ(extra.exitCode, 2);
    EXPECT_EQ(settingsFile(), before);
}

TEST_F(CommandLine, KeyCommandsWithoutASecretServiceFailClearlyAndQuickly)
{
    QElapsedTimer timer;
    timer.start();
    auto status = run({QStringLiteral("key"), QStringLiteral("status")});
    EXPECT_EQ(status.exitCode, 1);
    EXPECT_TRUE(status.out.contains(QStringLiteral("not configured")));

    auto set = run({QStringLiteral("key"), QStringLiteral("set")}, "sk-abcdefghijklmnop\n");
    EXPECT_EQ(set.exitCode, 1);
    EXPECT_TRUE(set.err.contains(QStringLiteral("Could not store")));
    EXPECT_FALSE((set.out + set.err).contains(QStringLiteral("sk-abcdefghijklmnop")))
        << "the key is never printed whole";
    EXPECT_LT(timer.elapsed(), 15000);
    EXPECT_TRUE(settingsFile().isEmpty()) << "no key in a plain file";
}

TEST_F(CommandLine, KeySetRefusesAnEmptyOrMultiLineKey)
{
    for (const QByteArray &input : {QByteArray(), QByteArray("\n"), QByteArray("sk-a\nsk-b\n")}) {
        auto result = run({QStringLiteral("key"), QStringLiteral("set")}, input);
        EXPECT_EQ(result.exitCode, 2) << input.constData();
        EXPECT_TRUE(result.err.contains(QStringLiteral("nothing was stored")));
    }
}

TEST_F(CommandLine, MonitorKeysWithoutADisplayRetriesThenEndsWithAReason)
{
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("QUILLWREN_PLATFORM"));
    QElapsedTimer timer;
    timer.start();
    auto result = run({QStringLiteral("monitor-keys")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_GE(timer.elapsed(), 2900) << "three checks, one second apart, from one second on";
    EXPECT_TRUE(result.out.contains(QStringLiteral("🔄 尝试设置事件监听 (尝试 3/3)...")));
    EXPECT_TRUE(result.out.trimmed().endsWith(QStringLiteral("❌ 超过最大重试次数，请手动在系统设置中授权")));
    EXPECT_TRUE(result.err.contains(QStringLiteral("X11 session"))) << result.err.toStdString();

    EXPECT_EQ(run({QStringLiteral("monitor-keys"), QStringLiteral("now")}).exitCode, 2);
}

TEST_F(CommandLine, ReplacementsAreAddedListedInOrderAndRemoved)
{
    const auto replace = [this](const QStringList &args) { return run(QStringList{QStringLiteral("replace")} + args); };
    EXPECT_EQ(replace({QStringLiteral("add"), QStringLiteral("千问"), QStringLiteral("Qwen")}).exitCode, 0);
    EXPECT_EQ(replace({QStringLiteral("add"), QStringLiteral("quill wren"), QStringLiteral("Quillwren")}).exitCode, 0);
    EXPECT_EQ(replace({QStringLiteral("add"), QStringLiteral("千问"), QStringLiteral("通义千问")}).exitCode, 0)
        << "the same words again take the first entry's place";
    EXPECT_EQ(replace({QStringLiteral("list")}).out, QStringLiteral("千问 → 通义千问\nquill wren → Quillwren\n"));
    EXPECT_EQ(replace({QStringLiteral("add"), QString(), QStringLiteral("x")}).exitCode, 2);
    EXPECT_EQ(replace({QStringLiteral("remove"), QStringLiteral("没有")}).exitCode, 1);
    EXPECT_EQ(replace({QStringLiteral("remove"), QStringLiteral("千问")}).exitCode, 0);
    EXPECT_EQ(replace({QStringLiteral("list")}).out, QStringLiteral("quill wren → Quillwren\n"));
    EXPECT_EQ(replace({QStringLiteral("add"), QStringLiteral("x")}).exitCode, 2);

    // The list is not a field `config set` can overwrite.
    const auto set = run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("replacements"), QStringLiteral("[]")});
    EXPECT_EQ(set.exitCode, 2);
    EXPECT_TRUE(set.err.contains(QStringLiteral("quillwren replace")));
    EXPECT_EQ(replace({QStringLiteral("list")}).out, QStringLiteral("quill wren → Quillwren\n"));
    EXPECT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("keepHistory"), QStringLiteral("false")})
                  .exitCode, 0);
    EXPECT_FALSE(shownConfig()[QStringLiteral("appConfig")][QStringLiteral("keepHistory")].toBool());
}

TEST_F(CommandLine, HistoryPrintsTheNewestTakesAsTextOrJsonLinesAndClears)
{
    QTemporaryDir data;
    env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
    TakeHistory history(data.filePath(QStringLiteral("orvo/Quillwren/history.jsonl")));
    for (const QString &text : {QStringLiteral("第一条"), QStringLiteral("第二条"), QStringLiteral("第三条")})
        ASSERT_TRUE(history.append({QDateTime::currentDateTime(), AppMode::VoiceInput, text, {},
                                    QString::fromLatin1(TakeRecord::kPasted), 300, {}, -1}));
    const auto json = run({QStringLiteral("history"), QStringLiteral("--json"), QStringLiteral("-n"), QStringLiteral("2")});
    EXPECT_EQ(json.exitCode, 0);
    const QStringList lines = json.out.trimmed().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2);
    for (const QString &line : lines)
        EXPECT_TRUE(TakeRecord::fromJson(line.toUtf8())) << line.toStdString();
    EXPECT_EQ(TakeRecord::fromJson(lines[0].toUtf8())->text, QStringLiteral("第三条"));
    const auto text = run({QStringLiteral("history")});
    EXPECT_TRUE(text.out.contains(QStringLiteral("voice_input  pasted  第一条"))) << text.out.toStdString();
    EXPECT_EQ(run({QStringLiteral("history"), QStringLiteral("-n"), QStringLiteral("zero")}).exitCode, 2);
    EXPECT_EQ(run({QStringLiteral("history"), QStringLiteral("clear")}).exitCode, 0);
    EXPECT_TRUE(run({QStringLiteral("history")}).out.isEmpty());
}

} // namespace
