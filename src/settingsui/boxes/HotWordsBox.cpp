#include "HotWordsBox.h"

#include "RealtimeASRConnection.h"
#include "SettingsStore.h"
#include "SettingsWidgets.h"
#include "Vocabulary.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
const QString kRecognitionModel = QString::fromLatin1(RealtimeASRConnection::kModel);
}

HotWordsBox::HotWordsBox(SettingsStore &store, ApiKeyProvider apiKey, QWidget *parent)
    : QGroupBox(tr("热词"), parent), m_store(store), m_apiKey(std::move(apiKey))
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(SettingsWidgets::secondaryLabel(
        tr("教给语音识别的词（人名、产品名、术语），权重 1–5，默认 4；非英文的词最多 15 个字"), this));
    m_list = new QListWidget(this);
    m_list->setAccessibleName(tr("热词列表"));
    m_list->setMaximumHeight(110);
    layout->addWidget(m_list);
    auto *entry = new QHBoxLayout;
    m_word = new QLineEdit(this);
    m_word->setPlaceholderText(tr("新热词"));
    m_word->setAccessibleName(tr("新热词"));
    m_weight = new QSpinBox(this);
    m_weight->setRange(HotWord::kMinWeight, HotWord::kMaxWeight);
    m_weight->setValue(HotWord::kDefaultWeight);
    m_weight->setAccessibleName(tr("热词权重"));
    auto *addButton = new QPushButton(tr("添加热词"), this);
    auto *removeButton = new QPushButton(tr("删除所选热词"), this);
    entry->addWidget(m_word, 1);
    entry->addWidget(m_weight);
    entry->addWidget(addButton);
    entry->addWidget(removeButton);
    layout->addLayout(entry);
    m_problem = SettingsWidgets::secondaryLabel(QString(), this);
    m_problem->setAccessibleName(tr("热词错误"));
    m_problem->setStyleSheet(QStringLiteral("color: #d93025"));
    m_problem->hide();
    layout->addWidget(m_problem);
    m_state = SettingsWidgets::secondaryLabel(QString(), this);
    m_state->setAccessibleName(tr("热词同步状态"));
    layout->addWidget(m_state);
    connect(addButton, &QPushButton::clicked, this, &HotWordsBox::add);
    connect(m_word, &QLineEdit::returnPressed, this, &HotWordsBox::add);
    connect(removeButton, &QPushButton::clicked, this, &HotWordsBox::removeSelected);
    showWords();
}

QString HotWordsBox::syncText() const
{
    return m_state->text();
}

void HotWordsBox::showEvent(QShowEvent *event)
{
    showWords(); // the command line may have changed them
    QGroupBox::showEvent(event);
}

void HotWordsBox::showWords()
{
    const AppConfig config = m_store.loadAppConfig();
    m_list->clear();
    for (const HotWord &word : config.hotWords)
        m_list->addItem(tr("%1（权重 %2）").arg(word.text).arg(word.weight));
    if (m_syncing) {
        m_state->setText(tr("正在同步..."));
        return;
    }
    switch (Vocabulary::state(config, kRecognitionModel)) {
    case Vocabulary::Sync::NoWords:
        m_state->setText(tr("没有热词"));
        break;
    case Vocabulary::Sync::Synced:
        m_state->setText(tr("已同步"));
        break;
    case Vocabulary::Sync::Pending:
        m_state->setText(tr("尚未同步"));
        break;
    case Vocabulary::Sync::Failed:
        m_state->setText(tr("同步失败：%1").arg(config.vocabulary.error));
        break;
    }
}

void HotWordsBox::add()
{
    const HotWord word{m_word->text().trimmed(), m_weight->value()};
    if (const QString problem = HotWord::problem(word); !problem.isEmpty()) {
        m_problem->setText(problem);
        m_problem->show();
        return;
    }
    m_problem->hide();
    AppConfig config = m_store.loadAppConfig();
    HotWords::put(config.hotWords, word);
    m_store.saveAppConfigMember(&AppConfig::hotWords, config.hotWords);
    m_word->clear();
    sync();
}

void HotWordsBox::removeSelected()
{
    const int row = m_list->currentRow();
    AppConfig config = m_store.loadAppConfig();
    if (row < 0 || row >= config.hotWords.size())
        return;
    config.hotWords.removeAt(row);
    m_store.saveAppConfigMember(&AppConfig::hotWords, config.hotWords);
    sync();
}

QCoro::Task<> HotWordsBox::sync()
{
    // One sync at a time; a change meanwhile is synced right after.
    if (std::exchange(m_syncing, true)) {
        m_syncAgain = true;
        co_return;
    }
    QPointer<HotWordsBox> self(this);
    do {
        m_syncAgain = false;
        showWords();
        const std::optional<QString> key = co_await configuredKey(m_apiKey);
        if (!self)
            co_return;
        if (!key)
            break;
        co_await Vocabulary::syncStored(*key, m_store, kRecognitionModel);
        if (!self)
            co_return;
    } while (m_syncAgain);
    m_syncing = false;
    showWords();
}
