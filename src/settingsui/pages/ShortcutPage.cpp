#include "ShortcutPage.h"

#include "HandsFreeBox.h"
#include "SettingSwitch.h"
#include "KeyRouteBox.h"
#include "ModifierKey.h"
#include "ModifierKeyPicker.h"
#include "SettingsViewModel.h"
#include "SettingsWidgets.h"
#include "Symbols.h"
#include "UserText.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

using SettingsWidgets::secondaryLabel;

ShortcutPage::ShortcutPage(SettingsViewModel &model, QWidget *parent) : QWidget(parent), m_model(model)
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    outer->addWidget(scroll);
    auto *content = new QWidget(scroll);
    scroll->setWidget(content);
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(20, 20, 20, 20);

    m_pickers[size_t(AppMode::VoiceInput)]
        = new ModifierKeyPicker(tr("语音输入法"), QStringLiteral("mic.fill"), SettingsWidgets::blue(), content);
    m_pickers[size_t(AppMode::ChatAssistant)] = new ModifierKeyPicker(
        tr("聊天助手"), QStringLiteral("bubble.left.and.bubble.right.fill"), SettingsWidgets::green(), content);
    m_pickers[size_t(AppMode::BffReply)]
        = new ModifierKeyPicker(tr("BFF 智能回复"), QStringLiteral("heart.fill"), SettingsWidgets::pink(), content);
    for (AppMode mode : allAppModes) {
        layout->addWidget(picker(mode));
        connect(picker(mode), &ModifierKeyPicker::configEdited, this, [this, mode](const HotkeyConfig &config) {
            ShortcutConfig edited = m_model.shortcutConfig();
            edited.config(mode) = config;
            m_model.setShortcutConfig(edited);
        });
    }
    layout->addWidget(secondaryLabel(tr("BFF 模式：%1 / %2 等组合键不会误触发")
                                         .arg(ModifierKeys::combination(ModifierKey::Command, QLatin1Char('C')),
                                              ModifierKeys::combination(ModifierKey::Command, QLatin1Char('V'))),
                                     content));
    layout->addWidget(secondaryLabel(tr("按住时按下其他键或鼠标（如 Alt+Tab、Esc）会取消本次操作"), content));

    m_warning = new QWidget(content);
    auto *warningRow = new QHBoxLayout(m_warning);
    warningRow->setContentsMargins(0, 4, 0, 4);
    warningRow->addWidget(SettingsWidgets::symbolImage(QStringLiteral("exclamationmark.triangle.fill"),
                                                       SettingsWidgets::orange(), fontMetrics().height(), m_warning));
    m_warningText = new QLabel(m_warning);
    m_warningText->setWordWrap(true);
    m_warningText->setStyleSheet(QStringLiteral("color: %1;").arg(SettingsWidgets::orange().name()));
    warningRow->addWidget(m_warningText, 1);
    layout->addWidget(m_warning);
    m_handsFree = new HandsFreeBox(m_model.settingsStore(), content);
    layout->addWidget(m_handsFree);
    layout->addWidget(new SettingSwitch(tr("录音时在指示球旁显示识别出的文字"), m_model.settingsStore(),
                                        &AppConfig::liveCaption, content));
    // Also on the audio tab: each shows the stored value when shown.
    layout->addWidget(new SettingSwitch(tr("录音和播报回答时暂停正在播放的媒体"), m_model.settingsStore(),
                                        &AppConfig::pauseMedia, content));
    m_keyRoute = new KeyRouteBox(m_model.settingsStore(), m_model.keyRoutes(), content);
    layout->addWidget(m_keyRoute);

    auto *notes = new QVBoxLayout;
    notes->setSpacing(10);
    auto *usage = SettingsWidgets::symbolLabel(QStringLiteral("info.circle"), tr("使用说明"),
                                               palette().color(QPalette::WindowText), content);
    usage->setFont(SettingsWidgets::semibold(usage->font()));
    notes->addWidget(usage);
    for (const QString &line :
         {tr("• 长按对应修饰键约 0.3 秒激活功能"), tr("• 松开按键后执行操作"), tr("• 各模式修饰键不能相同（会冲突）"),
          tr("• 可单独禁用不需要的模式"), tr("• 需要辅助功能权限才能全局监听")})
        notes->addWidget(secondaryLabel(line, content));
    notes->addWidget(SettingsWidgets::divider(content));

    m_trusted = SettingsWidgets::symbolLabel(QStringLiteral("checkmark.circle.fill"), tr("辅助功能权限已开启"),
                                             SettingsWidgets::green(), content);
    notes->addWidget(m_trusted);
    m_requestAccess = new QPushButton(Symbols::icon(QStringLiteral("hand.raised.fill"), Qt::white),
                                      tr("开启辅助功能权限"), content);
    m_requestAccess->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; border-radius: 5px; "
                                                  "padding: 5px 12px; }")
                                       .arg(SettingsWidgets::orange().name()));
    notes->addWidget(m_requestAccess, 0, Qt::AlignLeft);
    m_accessProblem = secondaryLabel(QString(), content);
    notes->addWidget(m_accessProblem);
    auto *reset = new QPushButton(tr("恢复快捷键默认设置"), content);
    notes->addWidget(reset, 0, Qt::AlignLeft);
    layout->addLayout(notes);
    layout->addStretch();

    connect(m_requestAccess, &QPushButton::clicked, &m_model, &SettingsViewModel::requestAccessibilityPermission);
    connect(reset, &QPushButton::clicked, this, [this] { m_model.setShortcutConfig(ShortcutConfig::defaults()); });
    connect(&m_model, &SettingsViewModel::shortcutConfigChanged, this, &ShortcutPage::showConfig);
    connect(&m_model, &SettingsViewModel::accessibilityStateChanged, this, &ShortcutPage::showAccessibility);
    showConfig();
    showAccessibility();
}

QString ShortcutPage::conflictWarning() const
{
    return m_warning->isVisibleTo(const_cast<ShortcutPage *>(this)) ? m_warningText->text() : QString();
}

void ShortcutPage::showConfig()
{
    const ShortcutConfig &config = m_model.shortcutConfig();
    for (AppMode mode : allAppModes)
        picker(mode)->setConfig(config.config(mode));
    const QString warning = UserText::shown(ShortcutConfig::conflictWarning(config.conflicts()));
    m_warningText->setText(warning);
    m_warningText->setAccessibleName(warning);
    m_warning->setVisible(!warning.isEmpty());
}

void ShortcutPage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    showAccessibility(); // read again whenever the screen is shown
    m_keyRoute->refresh();
}

void ShortcutPage::showAccessibility()
{
    const QString problem = m_model.accessibilityProblem();
    m_trusted->setVisible(problem.isEmpty());
    m_requestAccess->setVisible(!problem.isEmpty());
    m_accessProblem->setText(problem);
    m_accessProblem->setVisible(!problem.isEmpty());
}
