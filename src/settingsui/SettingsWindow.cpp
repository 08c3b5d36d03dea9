#include "SettingsWindow.h"

#include "AboutPage.h"
#include "ApiKeyPage.h"
#include "AudioPage.h"
#include "ModelPage.h"
#include "ShortcutPage.h"
#include "TextPage.h"
#include "Symbols.h"

#include <QCloseEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

SettingsWindow::SettingsWindow(SettingsViewModel::Services services, QWidget *parent)
    : QWidget(parent, Qt::Window), m_model(std::make_unique<SettingsViewModel>(std::move(services)))
{
    setWindowTitle(tr("设置"));
    setAccessibleName(tr("设置"));
    setObjectName(QStringLiteral("quillwrenSettings"));
    setMinimumSize(kMinimumSize);
    resize(kInitialSize);

    auto *layout = new QVBoxLayout(this);
    m_tabs = new QTabWidget(this);
    layout->addWidget(m_tabs);
    const QColor symbolColor = palette().color(QPalette::WindowText);
    m_apiKeyPage = new ApiKeyPage(*m_model, m_tabs);
    m_modelPage = new ModelPage(*m_model, m_tabs);
    m_shortcutPage = new ShortcutPage(*m_model, m_tabs);
    m_tabs->addTab(m_apiKeyPage, Symbols::icon(QStringLiteral("key.fill"), symbolColor), tr("API 配置"));
    m_tabs->addTab(m_modelPage, Symbols::icon(QStringLiteral("cpu.fill"), symbolColor), tr("模型设置"));
    m_tabs->addTab(m_shortcutPage, Symbols::icon(QStringLiteral("keyboard.fill"), symbolColor), tr("快捷键"));
    m_tabs->addTab(new TextPage(m_model->settingsStore(), m_model->apiKeyReader(), m_tabs),
                   Symbols::icon(QStringLiteral("text.bubble.fill"), symbolColor), tr("文字与历史"));
    m_audioPage = new AudioPage(m_model->settingsStore(), m_model->audioInputs(), m_tabs);
    m_tabs->addTab(m_audioPage, Symbols::icon(QStringLiteral("mic.fill"), symbolColor), tr("音频"));
    m_tabs->addTab(new AboutPage(m_tabs), Symbols::icon(QStringLiteral("info.circle.fill"), symbolColor), tr("关于"));
    // The key field would take the focus and lose its bullets: the tabs have it.
    m_tabs->tabBar()->setFocus();
}

SettingsWindow::~SettingsWindow() = default;

void SettingsWindow::closeEvent(QCloseEvent *event)
{
    m_model->savePendingChanges();
    QWidget::closeEvent(event);
}
