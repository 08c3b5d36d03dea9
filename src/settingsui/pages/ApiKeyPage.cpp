#include "ApiKeyPage.h"

#include "KeychainManager.h"
#include "HostKeysBox.h"
#include "ServiceRegionBox.h"
#include "SettingsViewModel.h"
#include "SettingsWidgets.h"
#include "Symbols.h"
#include "UserText.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

using SettingsWidgets::secondaryLabel;

ApiKeyPage::ApiKeyPage(SettingsViewModel &model, QWidget *parent) : QWidget(parent), m_model(model)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);

    auto *header = new QHBoxLayout;
    auto *title = new QLabel(QStringLiteral("API Key"), this);
    const QFont bold = SettingsWidgets::semibold(title->font());
    title->setFont(bold);
    header->addWidget(title);
    m_configured = SettingsWidgets::symbolLabel(QStringLiteral("checkmark.circle.fill"), tr("已配置"),
                                                SettingsWidgets::green(), this);
    header->addWidget(m_configured);
    header->addStretch();
    layout->addLayout(header);
    layout->addWidget(
        secondaryLabel(tr("您的 API Key 将安全地存储在%1中").arg(UserText::shown(KeychainManager::storeName())), this));

    auto *fieldRow = new QHBoxLayout;
    m_field = new QLineEdit(this);
    m_field->setPlaceholderText(tr("请输入阿里百炼 API Key"));
    m_field->setAccessibleName(QStringLiteral("API Key"));
    m_field->installEventFilter(this);
    fieldRow->addWidget(m_field);
    m_reveal = new QToolButton(this);
    m_reveal->setAutoRaise(true);
    fieldRow->addWidget(m_reveal);
    layout->addLayout(fieldRow);

    auto *saveRow = new QHBoxLayout;
    m_save = new QPushButton(tr("保存"), this);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 0);
    m_progress->setFixedSize(64, 12);
    m_progress->setTextVisible(false);
    m_progress->setAccessibleName(tr("保存中"));
    m_status = new QLabel(this);
    saveRow->addWidget(m_save);
    saveRow->addWidget(m_progress);
    saveRow->addWidget(m_status);
    saveRow->addStretch();
    layout->addLayout(saveRow);
    auto *region = new ServiceRegionBox(m_model.settingsStore(), this);
    layout->addWidget(region);
    layout->addWidget(new HostKeysBox(m_model.settingsStore(), this));

    layout->addSpacing(12);
    auto *help = new QLabel(tr("如何获取 API Key？"), this);
    help->setFont(bold);
    layout->addWidget(help);
    m_consoleStep = secondaryLabel(QString(), this);
    layout->addWidget(m_consoleStep);
    layout->addWidget(secondaryLabel(tr("2. 登录您的阿里云账号"), this));
    layout->addWidget(secondaryLabel(tr("3. 进入 API-KEY 管理页面"), this));
    layout->addWidget(secondaryLabel(tr("4. 创建新的 API Key 或复制已有的 Key"), this));
    m_console = new QPushButton(this);
    layout->addWidget(m_console, 0, Qt::AlignLeft);
    layout->addStretch();

    connect(m_field, &QLineEdit::textChanged, this, &ApiKeyPage::onTextChanged);
    connect(m_field, &QLineEdit::editingFinished, this, [this] {
        if (m_showApiKey)
            m_isEditing = false;
    });
    connect(m_reveal, &QToolButton::clicked, this, [this] { setShowApiKey(!m_showApiKey); });
    connect(m_save, &QPushButton::clicked, this, [this] { save(); });
    connect(m_console, &QPushButton::clicked, this, [region] {
        QDesktopServices::openUrl(QUrl(consoleUrl(region->region()->currentData().toString())));
    });
    connect(region->region(), &QComboBox::currentIndexChanged, this,
            [this, region] { showConsole(region->region()->currentData().toString()); });
    showConsole(region->region()->currentData().toString());
    connect(&m_model, &SettingsViewModel::isApiKeyConfiguredChanged, this, [this] {
        refreshField();
        m_configured->setVisible(m_model.isApiKeyConfigured());
    });

    m_configured->setVisible(m_model.isApiKeyConfigured());
    setShowApiKey(false);
    setSaveStatus(SaveStatus::Idle);
    refreshField();
}

QString ApiKeyPage::consoleUrl(const QString &region)
{
    return QLatin1String(region == QLatin1String("singapore") ? kInternationalConsoleUrl : kConsoleUrl);
}

void ApiKeyPage::showConsole(const QString &region)
{
    const bool international = region == QLatin1String("singapore");
    m_consoleStep->setText(international ? tr("1. 访问阿里云 Model Studio 国际站：%1").arg(consoleUrl(region))
                                         : tr("1. 访问阿里云百炼平台：%1").arg(consoleUrl(region)));
    m_console->setText(international ? tr("打开 Model Studio 控制台") : tr("打开百炼控制台"));
    m_console->setAccessibleName(m_console->text());
}

bool ApiKeyPage::eventFilter(QObject *watched, QEvent *event)
{
    // A click into the field starts a new entry: the bullets go away.
    if (watched == m_field && event->type() == QEvent::MouseButtonPress && !m_isEditing)
        startEditing();
    return QWidget::eventFilter(watched, event);
}

void ApiKeyPage::startEditing()
{
    m_apiKeyInput.clear();
    m_isEditing = true;
    refreshField();
}

void ApiKeyPage::onTextChanged(const QString &text)
{
    if (m_settingText)
        return;
    // Typed (or set by an assistive tool) without a click first: an entry all the same.
    m_isEditing = true;
    // The bullets stand for the stored key; they are never a key themselves.
    if (text != maskedPlaceholder())
        m_apiKeyInput = text;
}

void ApiKeyPage::refreshField()
{
    const bool masked = !m_isEditing && m_apiKeyInput.isEmpty() && m_model.isApiKeyConfigured();
    const QString text = masked ? maskedPlaceholder() : m_apiKeyInput;
    if (m_field->text() == text)
        return;
    m_settingText = true;
    m_field->setText(text);
    m_settingText = false;
}

void ApiKeyPage::setShowApiKey(bool show)
{
    m_showApiKey = show;
    m_field->setEchoMode(show ? QLineEdit::Normal : QLineEdit::Password);
    const QString symbol = show ? QStringLiteral("eye.slash.fill") : QStringLiteral("eye.fill");
    m_reveal->setIcon(Symbols::icon(symbol, palette().color(QPalette::PlaceholderText)));
    m_reveal->setAccessibleName(show ? tr("隐藏 API Key") : tr("显示 API Key"));
    m_reveal->setToolTip(m_reveal->accessibleName());
}

void ApiKeyPage::setSaveStatus(SaveStatus status)
{
    m_saveStatus = status;
    const bool saving = status == SaveStatus::Saving;
    m_save->setText(saving ? tr("保存中...") : tr("保存"));
    m_save->setEnabled(!saving);
    m_progress->setVisible(saving);
    switch (status) {
    case SaveStatus::Idle:
    case SaveStatus::Saving:
        m_status->clear();
        break;
    case SaveStatus::Success:
        m_status->setText(tr("保存成功！"));
        m_status->setStyleSheet(QStringLiteral("color: %1;").arg(SettingsWidgets::green().name()));
        break;
    case SaveStatus::Error:
        m_status->setText(tr("保存失败，请重试"));
        m_status->setStyleSheet(QStringLiteral("color: #d93025;"));
        break;
    }
}

QCoro::Task<> ApiKeyPage::save()
{
    if (m_saveStatus == SaveStatus::Saving)
        co_return;
    setSaveStatus(SaveStatus::Saving);
    QPointer<ApiKeyPage> self(this);
    const bool saved = co_await m_model.saveApiKey(m_apiKeyInput);
    if (!self)
        co_return; // the window was closed meanwhile; the key store has done its part
    if (!saved) {
        setSaveStatus(SaveStatus::Error);
        co_return;
    }
    setSaveStatus(SaveStatus::Success);
    m_apiKeyInput.clear();
    m_isEditing = false;
    refreshField();
    QTimer::singleShot(kSuccessShownMs, this, [this] {
        if (m_saveStatus == SaveStatus::Success)
            setSaveStatus(SaveStatus::Idle);
    });
}
