#include "ContentView.h"

#include "AppViewModel.h"
#include "ModifierKey.h"
#include "RecentTakesView.h"
#include "SettingsWidgets.h"
#include "TakeHistory.h"
#include "UserText.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QVBoxLayout>

ContentView::ContentView(AppViewModel &viewModel, std::function<QStringList()> capabilities, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_capabilityLines(std::move(capabilities))
    , m_retry(viewModel, TakeHistory::defaultPath())
{
    setWindowTitle(QStringLiteral("Quillwren"));
    setAccessibleName(QStringLiteral("Quillwren"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(30, 24, 30, 24);
    layout->setSpacing(10);
    SettingsWidgets::addNameplate(layout, this, 80, 2.0, {tr("智能语音输入和聊天助手")});

    auto *statusRow = new QHBoxLayout;
    statusRow->addStretch();
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 0);
    m_progress->setFixedSize(48, 10);
    m_progress->setTextVisible(false);
    m_progress->setAccessibleName(tr("正在处理"));
    statusRow->addWidget(m_progress);
    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    statusRow->addWidget(m_status);
    statusRow->addStretch();
    layout->addLayout(statusRow);
    m_capabilities = SettingsWidgets::secondaryLabel(QString(), this);
    m_capabilities->setWordWrap(true);
    m_capabilities->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_capabilities->setAccessibleName(tr("桌面功能"));
    m_capabilities->setVisible(bool(m_capabilityLines));
    layout->addWidget(m_capabilities);

    auto *usage = new QLabel(tr("使用说明："), this);
    usage->setFont(SettingsWidgets::semibold(usage->font()));
    layout->addWidget(usage);
    auto *rows = new QGridLayout;
    const struct
    {
        const char *symbol;
        QColor color;
        ModifierKey key;
        QString mode;
    } modes[] = {
        {"mic.fill", SettingsWidgets::blue(), ModifierKey::Option, tr("语音输入法")},
        {"bubble.left.and.bubble.right.fill", SettingsWidgets::green(), ModifierKey::Control, tr("聊天助手")},
        {"text.bubble.fill", SettingsWidgets::pink(), ModifierKey::Command, tr("BFF 智能回复")},
    };
    int row = 0;
    for (const auto &mode : modes) {
        rows->addWidget(SettingsWidgets::symbolImage(QString::fromLatin1(mode.symbol), mode.color,
                                                     fontMetrics().height() + 4, this),
                        row, 0);
        auto *instruction = new QLabel(tr("长按 %1").arg(ModifierKeys::displayName(mode.key)), this);
        QFont medium = instruction->font();
        medium.setWeight(QFont::Medium);
        instruction->setFont(medium);
        rows->addWidget(instruction, row, 1);
        rows->addWidget(SettingsWidgets::secondaryLabel(mode.mode, this), row, 2);
        ++row;
    }
    rows->setColumnStretch(3, 1);
    layout->addLayout(rows);

    m_missingKey = SettingsWidgets::symbolLabel(QStringLiteral("exclamationmark.triangle.fill"),
                                                tr("请先在设置中配置 API Key"), SettingsWidgets::orange(), this);
    m_missingKey->setAutoFillBackground(true);
    QPalette tinted = m_missingKey->palette();
    QColor background = SettingsWidgets::orange();
    background.setAlphaF(0.12f);
    tinted.setColor(QPalette::Window, background);
    m_missingKey->setPalette(tinted);
    layout->addWidget(m_missingKey);
    m_inputNotice = SettingsWidgets::symbolLabel(QStringLiteral("exclamationmark.triangle.fill"), QString(),
                                                 SettingsWidgets::orange(), this);
    layout->addWidget(m_inputNotice);
    m_recent = new RecentTakesView(this);
    m_recent->setRetry([this](const TakeRecord &take) { retry(take); });
    layout->addWidget(m_recent);
    layout->addWidget(SettingsWidgets::secondaryLabel(tr("点击状态栏图标打开设置"), this), 0, Qt::AlignHCenter);
    layout->addStretch();

    connect(&m_viewModel, &AppViewModel::isProcessingChanged, this, &ContentView::showStatus);
    connect(&m_viewModel, &AppViewModel::statusMessageChanged, this, &ContentView::showStatus);
    connect(&m_viewModel, &AppViewModel::hasApiKeyChanged, this, &ContentView::showStatus);
    connect(&m_viewModel, &AppViewModel::inputNoticeChanged, this, &ContentView::showStatus);
    // After the history has taken the new take; a hidden window reads the
    // history when it is shown.
    connect(&m_viewModel, &AppViewModel::takeRecorded, m_recent, [this] {
        if (isVisible())
            QMetaObject::invokeMethod(m_recent, &RecentTakesView::refresh, Qt::QueuedConnection);
    });
    showStatus();
}

QCoro::Task<> ContentView::retry(TakeRecord take)
{
    QPointer<ContentView> self(this);
    co_await m_retry.retry(std::move(take));
    if (self && isVisible())
        m_recent->refresh();
}

QString ContentView::statusText() const
{
    if (m_viewModel.isProcessing())
        return tr("正在处理...");
    if (!m_viewModel.statusMessage().isEmpty())
        return UserText::shown(m_viewModel.statusMessage());
    return tr("就绪");
}

QString ContentView::capabilitiesText() const
{
    return m_capabilities->text();
}

void ContentView::showEvent(QShowEvent *event)
{
    // What works may have changed since the last look (a binding arrived).
    if (m_capabilityLines)
        m_capabilities->setText(m_capabilityLines().join(QLatin1Char('\n')));
    m_recent->refresh();
    QWidget::showEvent(event);
    fitContents();
}

void ContentView::fitContents()
{
    // Lines that wrap need more height than the window had: it grows, so
    // that no line is cut (the recent takes scroll in their own area).
    layout()->activate();
    const int needed = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width()) : sizeHint().height();
    if (height() < needed)
        resize(width(), needed);
}

bool ContentView::showsMissingKey() const
{
    return !m_viewModel.hasApiKey();
}

void ContentView::showStatus()
{
    const bool processing = m_viewModel.isProcessing();
    const bool ready = !processing && m_viewModel.statusMessage().isEmpty();
    m_progress->setVisible(processing);
    m_status->setText(statusText());
    const QColor color = processing ? SettingsWidgets::blue()
                                    : ready ? SettingsWidgets::green() : palette().color(QPalette::PlaceholderText);
    m_status->setStyleSheet(QStringLiteral("color: %1;").arg(color.name()));
    m_missingKey->setVisible(showsMissingKey());
    const QString notice = UserText::shown(m_viewModel.inputNotice());
    SettingsWidgets::setSymbolLabelText(m_inputNotice, notice);
    m_inputNotice->setVisible(!notice.isEmpty());
}
