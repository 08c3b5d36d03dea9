#include "ApiKeyPage.h"
#include "HostKeysBox.h"
#include "AudioPage.h"
#include "FakeAudioInputWatcher.h"
#include "Delay.h"
#include "FakeKeyEventSource.h"
#include "HotWordsBox.h"
#include "HotkeyMonitorService.h"
#include "KeyRouteBox.h"
#include "ManualScheduler.h"
#include "MemoryKeyValueStore.h"
#include "ModifierKeyChip.h"
#include "ModelPage.h"
#include "ModifierKeyPicker.h"
#include "SettingsStore.h"
#include "SettingsWindow.h"
#include "ShortcutPage.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using TestSupport::waitUntil;

namespace {

// The settings window in this process, over settings in memory.
class SettingsScreens : public ::testing::Test
{
protected:
    SettingsScreens()
    {
        monitor = std::make_unique<HotkeyMonitorService>(source, local, settings.loadShortcutConfig(),
                                                         std::make_unique<ManualScheduler>());
    }
    std::unique_ptr<SettingsWindow> open()
    {
        auto window = std::make_unique<SettingsWindow>(SettingsViewModel::Services{
            settings, *monitor, clock,
            [this]() -> QCoro::Task<std::optional<QString>> { co_return storedKey; },
            [this](QString key) -> QCoro::Task<bool> {
                co_await delay(std::chrono::milliseconds(saveTakesMs));
                if (keySaveWorks)
                    storedKey = key;
                co_return keySaveWorks;
            },
            [] { return QString(); }, {}, &inputs});
        window->show();
        return window;
    }
    template <typename T>
    static T *named(QWidget *root, const QString &name)
    {
        for (T *widget : root->findChildren<T *>()) {
            if (widget->accessibleName() == name || widget->property("text").toString() == name)
                return widget;
        }
        return nullptr;
    }
    // The outcome shown beside the save button.
    static QString statusText(SettingsWindow &window)
    {
        for (QLabel *label : window.apiKeyPage()->findChildren<QLabel *>()) {
            if (label->text().startsWith(QStringLiteral("保存")))
                return label->text();
        }
        return {};
    }
    // Whether a label on the page shows (is not hidden) and contains the text.
    static bool labelShowing(QWidget *page, const QString &text)
    {
        for (QLabel *label : page->findChildren<QLabel *>()) {
            if (label->isVisible() && label->text().contains(text))
                return true;
        }
        return false;
    }

    MemoryKeyValueStore store;
    SettingsStore settings{store};
    FakeKeyEventSource source;
    FakeKeyEventSource local;
    std::unique_ptr<HotkeyMonitorService> monitor;
    ManualScheduler clock;
    std::optional<QString> storedKey;
    bool keySaveWorks = true;
    int saveTakesMs = 50;
    FakeAudioInputWatcher inputs;
};

TEST_F(SettingsScreens, TheWindowHasItsTitleSizeAndSixTabsInOrder)
{
    auto window = open();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("设置"));
    EXPECT_EQ(window->size(), QSize(600, 700));
    EXPECT_EQ(window->minimumSize(), QSize(600, 500));
    QStringList tabs;
    for (int i = 0; i < window->tabs()->count(); ++i) {
        tabs << window->tabs()->tabText(i);
        EXPECT_FALSE(window->tabs()->tabIcon(i).isNull()) << "every tab has its symbol";
    }
    EXPECT_EQ(tabs, (QStringList{QStringLiteral("API 配置"), QStringLiteral("模型设置"), QStringLiteral("快捷键"),
                                 QStringLiteral("文字与历史"), QStringLiteral("音频"), QStringLiteral("关于")}));
    // Every control a user can reach has a name a screen reader can say.
    for (QWidget *control : window->findChildren<QWidget *>()) {
        if (qobject_cast<QAbstractButton *>(control) || qobject_cast<QLineEdit *>(control)) {
            const QString name = control->accessibleName().isEmpty() ? control->property("text").toString()
                                                                     : control->accessibleName();
            EXPECT_FALSE(name.isEmpty()) << control->metaObject()->className();
        }
    }
}

TEST_F(SettingsScreens, TheAudioTabChoosesTheMicrophoneAndKeepsAChoiceThatIsNotConnected)
{
    // The meter asks Qt for the microphone, which may find no audio server here.
    const TestSupport::ExpectedWarnings noServer({QStringLiteral("PulseAudioService: pa_context_connect\\(\\) failed")});
    inputs.listed = {{"alsa_input.usb-Yeti", QStringLiteral("Blue Yeti")}, {"alsa_input.pci", QStringLiteral("Built-in Audio")}};
    auto window = open();
    window->tabs()->setCurrentWidget(window->audioPage());
    QComboBox *microphones = window->audioPage()->microphones();
    const auto listed = [&] {
        QStringList texts;
        for (int i = 0; i < microphones->count(); ++i)
            texts << microphones->itemText(i);
        return texts;
    };
    EXPECT_EQ(listed(), (QStringList{QStringLiteral("系统默认"), QStringLiteral("Blue Yeti"), QStringLiteral("Built-in Audio")}));
    EXPECT_EQ(microphones->currentIndex(), 0);
    EXPECT_EQ(microphones->accessibleName(), QStringLiteral("录音使用的麦克风"));

    // Chosen by the user: stored at once, as the device's stable name.
    microphones->setCurrentIndex(1);
    Q_EMIT microphones->activated(1);
    EXPECT_EQ(settings.loadAppConfig().inputDevice, QStringLiteral("alsa_input.usb-Yeti"));

    // Unplugged: still the choice, and shown as not connected.
    inputs.setInputs({{"alsa_input.pci", QStringLiteral("Built-in Audio")}});
    EXPECT_EQ(listed(), (QStringList{QStringLiteral("系统默认"), QStringLiteral("Built-in Audio"),
                                     QStringLiteral("alsa_input.usb-Yeti（未连接）")}));
    EXPECT_EQ(microphones->currentText(), QStringLiteral("alsa_input.usb-Yeti（未连接）"));
    EXPECT_EQ(settings.loadAppConfig().inputDevice, QStringLiteral("alsa_input.usb-Yeti"));
    Q_EMIT microphones->activated(0);
    EXPECT_EQ(settings.loadAppConfig().inputDevice, QString());

    // The cue and media switches, the media one also on the shortcut tab:
    // flipped on one tab, the other shows it when it is shown.
    auto *cues = named<QCheckBox>(window->audioPage(), QStringLiteral("录音开始和结束时播放提示音"));
    auto *media = named<QCheckBox>(window->audioPage(), QStringLiteral("录音和播报回答时暂停正在播放的媒体"));
    auto *mediaOnShortcuts = named<QCheckBox>(window->shortcutPage(), QStringLiteral("录音和播报回答时暂停正在播放的媒体"));
    ASSERT_TRUE(cues && media && mediaOnShortcuts);
    EXPECT_FALSE(cues->isChecked());
    EXPECT_TRUE(media->isChecked());
    cues->click();
    media->click();
    EXPECT_TRUE(settings.loadAppConfig().soundCues);
    EXPECT_FALSE(settings.loadAppConfig().pauseMedia);
    window->tabs()->setCurrentWidget(window->shortcutPage());
    EXPECT_FALSE(mediaOnShortcuts->isChecked());
    mediaOnShortcuts->click();
    EXPECT_TRUE(settings.loadAppConfig().pauseMedia);
    window->tabs()->setCurrentWidget(window->audioPage());
    EXPECT_TRUE(media->isChecked());
    window->tabs()->setCurrentWidget(window->shortcutPage());
    EXPECT_FALSE(window->audioPage()->isMetering()) << "no meter while the tab is hidden";

    // The live caption's switch beside the hands-free box.
    auto *caption = named<QCheckBox>(window->shortcutPage(), QStringLiteral("录音时在指示球旁显示识别出的文字"));
    ASSERT_TRUE(caption);
    EXPECT_FALSE(caption->isChecked()) << "off by default";
    caption->click();
    EXPECT_TRUE(settings.loadAppConfig().liveCaption);
}

TEST_F(SettingsScreens, HotWordsAreAddedCheckedAndRemovedOnTheWordsTab)
{
    auto window = open();
    auto *box = window->findChild<HotWordsBox *>();
    ASSERT_TRUE(box);
    window->tabs()->setCurrentWidget(box->parentWidget());
    EXPECT_EQ(box->syncText(), QStringLiteral("没有热词"));
    auto *word = box->findChild<QLineEdit *>();
    auto *weight = box->findChild<QSpinBox *>();
    auto *list = box->findChild<QListWidget *>();
    QPushButton *add = nullptr;
    QPushButton *remove = nullptr;
    for (QPushButton *button : box->findChildren<QPushButton *>())
        (button->text() == QStringLiteral("添加热词") ? add : remove) = button;
    ASSERT_TRUE(word && weight && list && add && remove);
    QLabel *problem = nullptr;
    for (QLabel *label : box->findChildren<QLabel *>()) {
        if (label->accessibleName() == QStringLiteral("热词错误"))
            problem = label;
    }
    ASSERT_TRUE(problem);

    word->setText(QStringLiteral("一二三四五六七八九十一二三四五六"));
    add->click();
    EXPECT_FALSE(problem->isHidden());
    EXPECT_TRUE(problem->text().contains(QStringLiteral("15"))) << problem->text().toStdString();
    EXPECT_TRUE(settings.loadAppConfig().hotWords.isEmpty()) << "refused before it is stored";

    word->setText(QStringLiteral("千问"));
    weight->setValue(5);
    add->click();
    EXPECT_TRUE(problem->isHidden());
    EXPECT_EQ(settings.loadAppConfig().hotWords, (QList<HotWord>{{QStringLiteral("千问"), 5}}));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return box->syncText() == QStringLiteral("尚未同步"); }, 2000))
        << "no key here: the words wait for one" << box->syncText().toStdString();
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("千问（权重 5）"));
    list->setCurrentRow(0);
    remove->click();
    EXPECT_TRUE(settings.loadAppConfig().hotWords.isEmpty());
    EXPECT_TRUE(TestSupport::waitUntil([&] { return list->count() == 0; }, 2000));

    // A sync that failed (here, the command line's) is shown when the page is.
    AppConfig config = settings.loadAppConfig();
    config.hotWords = {{QStringLiteral("百炼"), 4}};
    config.vocabulary.error = QStringLiteral("HTTP 500: busy");
    settings.saveAppConfig(config);
    box->hide();
    box->show();
    EXPECT_EQ(box->syncText(), QStringLiteral("同步失败：HTTP 500: busy"));
}

TEST_F(SettingsScreens, TheKeyPageSaysWhichKeyEachHostGets)
{
    AppConfig config = settings.loadAppConfig();
    config.speechService = QStringLiteral("openai");
    config.speechBaseURL = QStringLiteral("http://LocalHost:8000/v1");
    config.transcriptionService = QStringLiteral("openai");
    config.transcriptionBaseURL = QStringLiteral("https://api.groq.com/openai/v1");
    settings.saveAppConfig(config);
    auto window = open();
    window->show();
    auto *box = window->apiKeyPage()->findChild<HostKeysBox *>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->accessibleName(), QStringLiteral("各主机使用的 Key"));
    // No keyring here: no host has a key of its own.
    ASSERT_TRUE(TestSupport::waitUntil([&] { return box->lines().size() == 5; }, 5000)) << box->lines().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(box->lines().mid(0, 4),
              (QStringList{QStringLiteral("语音识别与合成（DashScope）：dashscope.aliyuncs.com — DashScope Key"),
                           QStringLiteral("对话与识图：dashscope.aliyuncs.com — DashScope Key"),
                           QStringLiteral("语音识别（OpenAI 兼容）：api.groq.com — 未保存 Key，不发送 Key"),
                           QStringLiteral("语音合成（OpenAI 兼容）：localhost — 未保存 Key，不发送 Key")}));
    for (QLabel *label : box->findChildren<QLabel *>())
        EXPECT_EQ(label->accessibleName(), label->text());
}

TEST_F(SettingsScreens, AStoredKeyShowsAsBulletsUntilANewEntryStarts)
{
    storedKey = QStringLiteral("sk-stored");
    auto window = open();
    auto *field = named<QLineEdit>(window->apiKeyPage(), QStringLiteral("API Key"));
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->text(), ApiKeyPage::maskedPlaceholder());
    EXPECT_EQ(field->text().size(), 36);
    EXPECT_EQ(field->echoMode(), QLineEdit::Password);

    QTest::mouseClick(field, Qt::LeftButton);
    EXPECT_TRUE(field->text().isEmpty()) << "a click starts a new entry";
    EXPECT_TRUE(window->apiKeyPage()->isEditing());

    field->insert(ApiKeyPage::maskedPlaceholder()); // pasted: the test's key clicks know only ASCII
    EXPECT_TRUE(window->apiKeyPage()->apiKeyInput().isEmpty()) << "typing the bullets is no key";
    field->clear();
    QTest::keyClicks(field, QStringLiteral("sk-new"));
    EXPECT_EQ(window->apiKeyPage()->apiKeyInput(), QStringLiteral("sk-new"));

    named<QAbstractButton>(window->apiKeyPage(), QStringLiteral("显示 API Key"))->click();
    EXPECT_EQ(field->echoMode(), QLineEdit::Normal);
    EXPECT_NE(named<QAbstractButton>(window->apiKeyPage(), QStringLiteral("隐藏 API Key")), nullptr);
}

TEST_F(SettingsScreens, SavingShowsItsProgressThenItsOutcome)
{
    auto window = open();
    auto *field = named<QLineEdit>(window->apiKeyPage(), QStringLiteral("API Key"));
    EXPECT_TRUE(field->text().isEmpty()) << "no key stored: no bullets";
    QTest::keyClicks(field, QStringLiteral("sk-typed"));
    auto *save = named<QPushButton>(window->apiKeyPage(), QStringLiteral("保存"));
    ASSERT_NE(save, nullptr);

    keySaveWorks = false;
    save->click();
    EXPECT_EQ(save->text(), QStringLiteral("保存中..."));
    EXPECT_FALSE(save->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return window->apiKeyPage()->saveStatus() == ApiKeyPage::SaveStatus::Error; }));
    EXPECT_EQ(statusText(*window), QStringLiteral("保存失败，请重试"));
    EXPECT_EQ(field->text(), QStringLiteral("sk-typed")) << "a failed save keeps what was typed";
    EXPECT_FALSE(window->viewModel().isApiKeyConfigured());

    keySaveWorks = true;
    save->click();
    ASSERT_TRUE(waitUntil([&] { return window->apiKeyPage()->saveStatus() == ApiKeyPage::SaveStatus::Success; }));
    EXPECT_EQ(statusText(*window), QStringLiteral("保存成功！"));
    EXPECT_EQ(storedKey, QStringLiteral("sk-typed"));
    EXPECT_TRUE(window->viewModel().isApiKeyConfigured());
    EXPECT_EQ(field->text(), ApiKeyPage::maskedPlaceholder()) << "the saved key shows as bullets";
    EXPECT_EQ(save->text(), QStringLiteral("保存"));
    TestSupport::settle(ApiKeyPage::kSuccessShownMs - 300);
    EXPECT_EQ(statusText(*window), QStringLiteral("保存成功！"));
    EXPECT_TRUE(waitUntil([&] { return statusText(*window).isEmpty(); }, 1000)) << "shown for two seconds";
}

TEST_F(SettingsScreens, TheConflictWarningComesAndGoesWithTheAssignment)
{
    auto window = open();
    ShortcutPage *page = window->shortcutPage();
    EXPECT_TRUE(page->conflictWarning().isEmpty());

    ModifierKeyPicker *chat = page->picker(AppMode::ChatAssistant);
    EXPECT_EQ(chat->caption(), QStringLiteral("长按 Ctrl 键激活「聊天助手」"));
    chat->chips().at(0)->click(); // Option, as the voice input
    EXPECT_EQ(window->viewModel().shortcutConfig().chatAssistant.modifier, ModifierKey::Option);
    EXPECT_EQ(page->conflictWarning(), QStringLiteral("⚠️ 快捷键冲突：语音输入法 与 聊天助手 使用了相同的修饰键"));
    EXPECT_TRUE(chat->chips().at(0)->isSelected());
    EXPECT_FALSE(chat->chips().at(1)->isSelected());

    page->picker(AppMode::VoiceInput)->enabledSwitch()->click();
    EXPECT_FALSE(window->viewModel().shortcutConfig().voiceInput.enabled);
    EXPECT_TRUE(page->conflictWarning().isEmpty()) << "a disabled mode conflicts with nothing";
    EXPECT_EQ(page->picker(AppMode::VoiceInput)->caption(), QStringLiteral("已禁用"));
    EXPECT_FALSE(page->picker(AppMode::VoiceInput)->chips().first()->isVisibleTo(page));

    named<QPushButton>(page, QStringLiteral("恢复快捷键默认设置"))->click();
    EXPECT_EQ(window->viewModel().shortcutConfig(), ShortcutConfig::defaults());
    EXPECT_EQ(page->picker(AppMode::VoiceInput)->caption(), QStringLiteral("长按 Alt 键激活「语音输入法」"));
}

TEST_F(SettingsScreens, ModelFieldsEditTheViewModelAndFollowIt)
{
    auto window = open();
    auto *name = named<QLineEdit>(window->modelPage(), QStringLiteral("模型名称"));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->text(), QLatin1String(AppConfig::kDefaultLlmModel));
    name->clear();
    QTest::keyClicks(name, QStringLiteral("qwen-max"));
    EXPECT_EQ(window->viewModel().llmModel(), QStringLiteral("qwen-max"));
    auto *language = named<QComboBox>(window->modelPage(), QStringLiteral("识别语言"));
    language->setCurrentIndex(language->findData(QStringLiteral("ja")));
    ASSERT_EQ(settings.loadAppConfig().asrLanguage, QStringLiteral("ja"));

    named<QPushButton>(window->modelPage(), QStringLiteral("恢复默认设置"))->click();
    EXPECT_EQ(name->text(), QLatin1String(AppConfig::kDefaultLlmModel)) << "the field follows the view model";
    EXPECT_EQ(language->currentText(), QStringLiteral("自动")) << "the recognition language goes back too";
    EXPECT_EQ(settings.loadAppConfig().asrLanguage, QStringLiteral("auto"));

    name->setText(QStringLiteral("qwen-plus"));
    window->close(); // before the quiet period ends
    window.reset();
    EXPECT_EQ(settings.loadAppConfig().llmModel, QStringLiteral("qwen-plus")) << "closing saved it";
}

// The account's region, workspace and spoken language: each saved into the
// record as stored at once; a workspace ID that cannot be part of a host name
// is refused, said so, and not stored; a model-name save afterwards keeps them.
TEST_F(SettingsScreens, RegionWorkspaceLanguageAndHandsFreeAreSavedAndABadWorkspaceIsRefused)
{
    auto window = open();
    auto *region = named<QComboBox>(window->apiKeyPage(), QStringLiteral("服务地域"));
    auto *workspace = named<QLineEdit>(window->apiKeyPage(), QStringLiteral("业务空间 ID"));
    auto *language = named<QComboBox>(window->modelPage(), QStringLiteral("识别语言"));
    ASSERT_TRUE(region && workspace && language);
    EXPECT_EQ(region->currentData().toString(), QStringLiteral("beijing"));
    EXPECT_EQ(language->currentText(), QStringLiteral("自动"));
    EXPECT_TRUE(labelShowing(window->apiKeyPage(), QString::fromLatin1(ApiKeyPage::kConsoleUrl)));
    EXPECT_NE(named<QPushButton>(window->apiKeyPage(), QStringLiteral("打开百炼控制台")), nullptr);

    // The help names the console where keys of the region chosen are made.
    region->setCurrentIndex(region->findData(QStringLiteral("singapore")));
    EXPECT_EQ(settings.loadAppConfig().serviceRegion, QStringLiteral("singapore"));
    EXPECT_TRUE(labelShowing(window->apiKeyPage(), QStringLiteral("dashscope-intl.aliyuncs.com")));
    EXPECT_TRUE(labelShowing(window->apiKeyPage(), QString::fromLatin1(ApiKeyPage::kInternationalConsoleUrl)));
    EXPECT_FALSE(labelShowing(window->apiKeyPage(), QString::fromLatin1(ApiKeyPage::kConsoleUrl)));
    EXPECT_NE(named<QPushButton>(window->apiKeyPage(), QStringLiteral("打开 Model Studio 控制台")), nullptr);

    workspace->setText(QStringLiteral("evil.example.com/x"));
    Q_EMIT workspace->editingFinished();
    EXPECT_TRUE(settings.loadAppConfig().workspaceId.isEmpty());
    EXPECT_TRUE(labelShowing(window->apiKeyPage(), QStringLiteral("业务空间 ID 只能由字母、数字和连字符组成，未保存")));
    workspace->setText(QStringLiteral("ws-42"));
    Q_EMIT workspace->editingFinished();
    EXPECT_EQ(settings.loadAppConfig().workspaceId, QStringLiteral("ws-42"));
    EXPECT_FALSE(labelShowing(window->apiKeyPage(), QStringLiteral("业务空间 ID 只能由字母、数字和连字符组成，未保存")));
    EXPECT_TRUE(labelShowing(window->apiKeyPage(), QStringLiteral("ws-42.ap-southeast-1.maas.aliyuncs.com")));

    language->setCurrentIndex(language->findData(QStringLiteral("en")));
    EXPECT_EQ(settings.loadAppConfig().asrLanguage, QStringLiteral("en"));

    // The hands-free switches: dictation on and the chat off by default, each saved at once.
    auto *voiceHandsFree = named<QCheckBox>(window->shortcutPage(), QStringLiteral("语音输入法：双击按键后免按住"));
    auto *chatHandsFree = named<QCheckBox>(window->shortcutPage(), QStringLiteral("聊天助手：双击按键后免按住"));
    ASSERT_TRUE(voiceHandsFree && chatHandsFree);
    EXPECT_TRUE(voiceHandsFree->isChecked());
    EXPECT_FALSE(chatHandsFree->isChecked());
    voiceHandsFree->setChecked(false);
    chatHandsFree->setChecked(true);
    EXPECT_FALSE(settings.loadAppConfig().handsFreeVoiceInput);
    EXPECT_TRUE(settings.loadAppConfig().handsFreeChatAssistant);

    // The model page's own save starts from the record as stored.
    named<QLineEdit>(window->modelPage(), QStringLiteral("模型名称"))->setText(QStringLiteral("qwen-flash"));
    window->close();
    window.reset();
    const AppConfig saved = settings.loadAppConfig();
    EXPECT_EQ(saved.llmModel, QStringLiteral("qwen-flash"));
    EXPECT_EQ(saved.serviceRegion, QStringLiteral("singapore"));
    EXPECT_EQ(saved.workspaceId, QStringLiteral("ws-42"));
    EXPECT_EQ(saved.asrLanguage, QStringLiteral("en"));
    EXPECT_FALSE(saved.handsFreeVoiceInput);
    EXPECT_TRUE(saved.handsFreeChatAssistant);

    // Opened again, the window shows what is stored.
    window = open();
    EXPECT_EQ(named<QComboBox>(window->apiKeyPage(), QStringLiteral("服务地域"))->currentData().toString(),
              QStringLiteral("singapore"));
    EXPECT_EQ(named<QLineEdit>(window->apiKeyPage(), QStringLiteral("业务空间 ID"))->text(), QStringLiteral("ws-42"));
    EXPECT_EQ(named<QComboBox>(window->modelPage(), QStringLiteral("识别语言"))->currentText(), QStringLiteral("English"));
    EXPECT_FALSE(named<QCheckBox>(window->shortcutPage(), QStringLiteral("语音输入法：双击按键后免按住"))->isChecked());
    EXPECT_TRUE(named<QCheckBox>(window->shortcutPage(), QStringLiteral("聊天助手：双击按键后免按住"))->isChecked());
}

} // namespace

namespace {

// How the keys are read: offered as a choice only where two ways work, the
// choice kept in the settings record (for the next start), and what the
// route says about itself followed as it changes.
TEST_F(SettingsScreens, TheKeyRouteIsChosenWhereSeveralWorkAndTheDescriptionFollowsTheRoute)
{
    QObject events;
    QStringList described{QStringLiteral("正在使用：桌面全局快捷键"), QStringLiteral("语音输入法：Super+Alt+V")};
    KeyRouteChoices choices{{{QStringLiteral("evdev"), QStringLiteral("键盘设备")},
                             {QStringLiteral("portal"), QStringLiteral("桌面全局快捷键")},
                             {QStringLiteral("bindings"), QStringLiteral("桌面按键绑定")}},
                            [&] { return described; },
                            nullptr};
    QWidget holder; // the boxes live in a screen that is not shown here
    KeyRouteBox box(settings, choices, &holder);
    EXPECT_FALSE(box.choice()->isHidden());
    EXPECT_EQ(box.choice()->currentData().toString(), QStringLiteral("auto"));
    box.choice()->setCurrentIndex(box.choice()->findData(QStringLiteral("bindings")));
    EXPECT_EQ(settings.loadAppConfig().keyRoute, QStringLiteral("bindings"));
    EXPECT_EQ(AppConfig::fromJson(settings.loadAppConfig().toJson())->keyRoute, QStringLiteral("bindings"));

    // Opened again: the stored choice is selected.
    KeyRouteBox again(settings, choices, &holder);
    EXPECT_EQ(again.choice()->currentData().toString(), QStringLiteral("bindings"));
    QLabel *current = again.findChild<QLabel *>();
    ASSERT_NE(current, nullptr);
    EXPECT_TRUE(current->text().contains(QStringLiteral("语音输入法：Super+Alt+V")));
    described[1] = QStringLiteral("语音输入法：Ctrl+Alt+Space");
    again.refresh();
    EXPECT_TRUE(current->text().contains(QStringLiteral("Ctrl+Alt+Space")));

    // One way only: nothing to choose.
    KeyRouteBox single(settings, {{{QStringLiteral("x11"), QStringLiteral("X11")}}, [] { return QStringList{QStringLiteral("x")}; }, nullptr},
                       &holder);
    EXPECT_TRUE(single.choice()->isHidden());

    // A stored value no version knows loads as the automatic choice.
    QByteArray json = settings.loadAppConfig().toJson();
    json.replace("\"bindings\"", "\"telepathy\"");
    EXPECT_EQ(AppConfig::fromJson(json)->keyRoute, QStringLiteral("auto"));
}

} // namespace
