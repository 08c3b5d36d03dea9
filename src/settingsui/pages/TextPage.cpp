#include "TextPage.h"

#include "CleanupBox.h"
#include "HotWordsBox.h"
#include "SettingsStore.h"
#include "SettingsWidgets.h"
#include "TakeHistory.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

TextPage::TextPage(SettingsStore &store, ApiKeyProvider apiKey, QWidget *parent) : QWidget(parent), m_store(store)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->addWidget(new HotWordsBox(store, std::move(apiKey), this));
    layout->addWidget(new CleanupBox(store, this));

    auto *replacements = new QGroupBox(tr("替换表"), this);
    auto *replacementLayout = new QVBoxLayout(replacements);
    replacementLayout->addWidget(
        SettingsWidgets::secondaryLabel(tr("识别结果中的词按顺序替换后再输入或提问，区分大小写"), replacements));
    m_table = new QTableWidget(0, 2, replacements);
    m_table->setAccessibleName(tr("替换表"));
    m_table->setHorizontalHeaderLabels({tr("识别为"), tr("替换为")});
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    // The table's corner button selects everything: it has a name too.
    for (QAbstractButton *corner : m_table->findChildren<QAbstractButton *>())
        corner->setAccessibleName(tr("全选"));
    replacementLayout->addWidget(m_table);
    auto *entry = new QHBoxLayout;
    m_from = new QLineEdit(replacements);
    m_from->setPlaceholderText(tr("识别为"));
    m_from->setAccessibleName(tr("新的替换：识别为"));
    m_to = new QLineEdit(replacements);
    m_to->setPlaceholderText(tr("替换为"));
    m_to->setAccessibleName(tr("新的替换：替换为"));
    auto *add = new QPushButton(tr("添加替换"), replacements);
    auto *remove = new QPushButton(tr("删除所选替换"), replacements);
    entry->addWidget(m_from);
    entry->addWidget(m_to);
    entry->addWidget(add);
    entry->addWidget(remove);
    replacementLayout->addLayout(entry);
    layout->addWidget(replacements);
    connect(add, &QPushButton::clicked, this, &TextPage::addReplacement);
    connect(m_to, &QLineEdit::returnPressed, this, &TextPage::addReplacement);
    connect(remove, &QPushButton::clicked, this, &TextPage::removeSelected);

    auto *history = new QGroupBox(tr("历史记录"), this);
    auto *historyLayout = new QVBoxLayout(history);
    const AppConfig config = m_store.loadAppConfig();
    m_keepHistory = new QCheckBox(tr("保存历史记录"), history);
    m_keepHistory->setChecked(config.keepHistory);
    historyLayout->addWidget(m_keepHistory);
    historyLayout->addWidget(SettingsWidgets::secondaryLabel(
        tr("最近 %1 次的文字保存在 %2，只有你能读取").arg(TakeHistory::kLimit).arg(TakeHistory::defaultPath()),
        history));
    auto *clear = new QPushButton(tr("清空历史记录"), history);
    historyLayout->addWidget(clear, 0, Qt::AlignLeft);
    layout->addWidget(history);
    connect(m_keepHistory, &QCheckBox::toggled, this, [this](bool on) { saveSwitch(&AppConfig::keepHistory, on); });
    connect(clear, &QPushButton::clicked, this, [this] {
        QString error;
        if (!TakeHistory(TakeHistory::defaultPath()).clear(&error))
            QMessageBox::warning(this, tr("清空历史记录"), tr("无法清空：%1").arg(error));
    });

    auto *clipboard = new QGroupBox(tr("剪贴板"), this);
    auto *clipboardLayout = new QVBoxLayout(clipboard);
    m_restoreClipboard = new QCheckBox(tr("粘贴后恢复剪贴板原内容"), clipboard);
    m_restoreClipboard->setChecked(config.restoreClipboard);
    clipboardLayout->addWidget(m_restoreClipboard);
    clipboardLayout->addWidget(SettingsWidgets::secondaryLabel(tr("关闭时，输入的文字留在剪贴板中"), clipboard));
    layout->addWidget(clipboard);
    connect(m_restoreClipboard, &QCheckBox::toggled, this,
            [this](bool on) { saveSwitch(&AppConfig::restoreClipboard, on); });
    layout->addStretch();
    showReplacements();
}

void TextPage::saveSwitch(bool AppConfig::*member, bool on)
{
    AppConfig current = m_store.loadAppConfig();
    current.*member = on;
    m_store.saveAppConfig(current);
}

void TextPage::showReplacements()
{
    const QList<TextReplacement> list = m_store.loadAppConfig().replacements;
    m_table->setRowCount(int(list.size()));
    for (int row = 0; row < list.size(); ++row) {
        m_table->setItem(row, 0, new QTableWidgetItem(list[row].from));
        m_table->setItem(row, 1, new QTableWidgetItem(list[row].to));
    }
}

void TextPage::addReplacement()
{
    if (m_from->text().isEmpty())
        return;
    AppConfig current = m_store.loadAppConfig();
    TextReplacements::put(current.replacements, {m_from->text(), m_to->text()});
    m_store.saveAppConfig(current);
    m_from->clear();
    m_to->clear();
    showReplacements();
}

void TextPage::removeSelected()
{
    const int row = m_table->currentRow();
    if (row < 0 || !m_table->item(row, 0))
        return;
    const QString from = m_table->item(row, 0)->text();
    AppConfig current = m_store.loadAppConfig();
    TextReplacements::remove(current.replacements, from);
    m_store.saveAppConfig(current);
    showReplacements();
}
