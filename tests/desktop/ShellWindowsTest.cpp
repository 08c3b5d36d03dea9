#include "AutostartEntry.h"
#include "ControllerFixture.h"
#include "ContentView.h"
#include "SettingsWindow.h"
#include "StatusBarController.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTranslator>

#include <gtest/gtest.h>

using TestSupport::settle;
using TestSupport::waitUntil;

namespace {

TEST(Autostart, WritesAndRemovesTheSessionsEntry)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    EXPECT_EQ(AutostartEntry::path(), config.path() + QStringLiteral("/autostart/quillwren.desktop"));
    EXPECT_FALSE(AutostartEntry::isEnabled());
    ASSERT_TRUE(AutostartEntry::setEnabled(true, QStringLiteral("/opt/My Apps/quillwren")));
    EXPECT_TRUE(AutostartEntry::isEnabled());
    QFile entry(AutostartEntry::path());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("Exec=\"/opt/My Apps/quillwren\" run\n"))) << "a path with a space, quoted";
    EXPECT_TRUE(AutostartEntry::contents(QStringLiteral("/tmp/a$b")).contains(QStringLiteral("Exec=\"/tmp/a\\\\$b\" run")))
        << "reserved characters escaped";
    ASSERT_TRUE(AutostartEntry::setEnabled(false, QString()));
    EXPECT_FALSE(AutostartEntry::isEnabled());
    EXPECT_TRUE(AutostartEntry::setEnabled(false, QString())) << "removing what is not there is done";
    qunsetenv("XDG_CONFIG_HOME");
}

// The shell's windows over a controller whose services are fakes.
class ShellWindows : public ControllerFixture
{
protected:
    SettingsViewModel::Services settingsServices()
    {
        return {settings, *monitor, settingsClock, [] () -> QCoro::Task<std::optional<QString>> { co_return std::nullopt; },
                [](QString) -> QCoro::Task<bool> { co_return true; }, [] { return QString(); }};
    }

    ManualScheduler settingsClock;
};

TEST_F(ShellWindows, TheStatusLineShowsWorkThenTheLastMessageThenReady)
{
    makeController();
    ContentView view(*controller);
    EXPECT_EQ(view.statusText(), QStringLiteral("就绪"));
    EXPECT_FALSE(view.showsMissingKey());

    activate(ModifierMask::Option);
    release();
    EXPECT_TRUE(waitUntil([&] { return view.statusText() == QStringLiteral("正在处理..."); }, 2000));
    EXPECT_TRUE(waitUntil([&] { return !controller->isProcessing(); }, 5000));
    EXPECT_EQ(view.statusText(), controller->statusMessage());
    EXPECT_NE(view.statusText(), QStringLiteral("就绪"));
}

TEST_F(ShellWindows, TheStatusWindowShowsWhatWorksAsOfEachTimeItOpens)
{
    makeController();
    QStringList lines{QStringLiteral("mode keys: the desktop's key bindings only — does not work: bind them")};
    ContentView view(*controller, [&] { return lines; });
    view.show();
    EXPECT_EQ(view.capabilitiesText(), lines.first());
    view.hide();
    lines = {QStringLiteral("mode keys: the desktop's key bindings (last used 10:00:00) — works"),
             QStringLiteral("tray: none — does not work: add a system tray to the panel")};
    view.show();
    EXPECT_EQ(view.capabilitiesText(), lines.join(QLatin1Char('\n')));

    // Lines long enough to wrap are shown whole: the window grows for them.
    view.hide();
    lines.clear();
    for (int i = 0; i < 6; ++i)
        lines << QStringLiteral("capability %1: a backend with a long name — does not work: %2").arg(i).arg(QString(90, u'x'));
    view.show();
    QLabel *list = nullptr;
    for (QLabel *label : view.findChildren<QLabel *>()) {
        if (label->accessibleName() == QStringLiteral("桌面功能"))
            list = label;
    }
    ASSERT_NE(list, nullptr);
    QCoreApplication::processEvents();
    EXPECT_GE(list->height(), list->heightForWidth(list->width())) << "the list is cut";
    EXPECT_LE(list->geometry().bottom(), view.height());
}

TEST_F(ShellWindows, WithoutAKeyTheStatusWindowSaysSo)
{
    storedKey.reset();
    makeController();
    ContentView view(*controller);
    EXPECT_TRUE(view.showsMissingKey());
}

TEST_F(ShellWindows, TheMenuHasItsEntriesAndTheSettingsWindowIsOneAtATime)
{
    StatusBarController tray([this] { return settingsServices(); });
    QStringList entries;
    for (QAction *action : tray.menu()->actions()) {
        if (!action->isSeparator())
            entries << action->text() + QLatin1Char('|') + action->shortcut().toString();
    }
    EXPECT_EQ(entries, (QStringList{QStringLiteral("打开设置|Ctrl+,"), QStringLiteral("登录时启动|"),
                                    QStringLiteral("退出 Quillwren|Ctrl+Q")}));
    {
        // In English, the menu a popup: out of the accessibility tree's reach.
        QTranslator english;
        ASSERT_TRUE(english.load(QStringLiteral(QUILLWREN_EN_QM)));
        QCoreApplication::installTranslator(&english);
        StatusBarController translated([this] { return settingsServices(); });
        QCoreApplication::removeTranslator(&english);
        QStringList texts;
        for (QAction *action : translated.menu()->actions())
            texts << action->text();
        EXPECT_EQ(texts.filter(QRegularExpression(QStringLiteral("\\S"))),
                  (QStringList{QStringLiteral("Open Settings"), QStringLiteral("Start at login"), QStringLiteral("Quit Quillwren")}));
    }
    EXPECT_FALSE(StatusBarController::icon().isNull());

    EXPECT_FALSE(tray.isShowingSettings());
    tray.showSettings();
    ASSERT_TRUE(tray.isShowingSettings());
    SettingsWindow *first = tray.settingsWindow();
    EXPECT_EQ(first->size(), QSize(600, 700));
    tray.showSettings();
    EXPECT_EQ(tray.settingsWindow(), first) << "the open window is reused";

    first->close(); // deletes itself
    EXPECT_TRUE(waitUntil([&] { return !tray.isShowingSettings(); }, 2000)) << "forgotten when closed";
    tray.showSettings();
    EXPECT_TRUE(tray.isShowingSettings());
}

} // namespace
