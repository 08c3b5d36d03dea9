#include "CleanupBox.h"

#include "SettingsStore.h"
#include "SettingsWidgets.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>

CleanupBox::CleanupBox(SettingsStore &store, QWidget *parent) : QGroupBox(tr("智能润色"), parent), m_store(store)
{
    setAccessibleName(tr("智能润色"));
    const AppConfig config = store.loadAppConfig();
    // One row and one line of text: the page's replacement table keeps its room.
    auto *layout = new QVBoxLayout(this);
    auto *row = new QHBoxLayout;
    m_level = new QComboBox(this);
    m_level->setAccessibleName(tr("润色语音输入的文字"));
    m_level->addItem(tr("关闭：按识别结果输入"), QStringLiteral("off"));
    m_level->addItem(tr("轻度：去掉语气词、重复和改口，修正标点"), QStringLiteral("light"));
    m_level->addItem(tr("完整：另外整理列表、分段，数字写成阿拉伯数字"), QStringLiteral("full"));
    m_level->setCurrentIndex(std::max(0, m_level->findData(config.dictationCleanup)));
    const QString explained =
        tr("说完后由对话模型整理文字再输入。润色失败、超时或改变了原意时，按识别结果输入；终端里从不润色。"
           "历史记录同时保存原文。");
    m_level->setToolTip(explained);
    m_level->setAccessibleDescription(explained);
    row->addWidget(m_level);
    m_instructions = new QLineEdit(config.cleanupInstructions, this);
    m_instructions->setMaxLength(AppConfig::kMaxCleanupInstructions);
    m_instructions->setPlaceholderText(tr("附加要求，例如：使用英式拼写"));
    m_instructions->setAccessibleName(tr("润色的附加要求"));
    row->addWidget(m_instructions, 1);
    layout->addLayout(row);
    layout->addWidget(SettingsWidgets::secondaryLabel(tr("润色不成功时按识别结果输入，终端里从不润色"), this));
    connect(m_level, &QComboBox::activated, this, &CleanupBox::save);
    // The rule is saved as it is typed, a moment after the last key, and at
    // once when the field is left.
    m_saveLater.setSingleShot(true);
    m_saveLater.setInterval(kSaveDelayMs);
    connect(&m_saveLater, &QTimer::timeout, this, &CleanupBox::save);
    connect(m_instructions, &QLineEdit::textChanged, &m_saveLater, qOverload<>(&QTimer::start));
    connect(m_instructions, &QLineEdit::editingFinished, this, &CleanupBox::save);
}

CleanupBox::~CleanupBox()
{
    if (m_saveLater.isActive())
        save(); // a rule typed just before the window closed
}

void CleanupBox::save()
{
    m_saveLater.stop();
    AppConfig current = m_store.loadAppConfig();
    current.dictationCleanup = m_level->currentData().toString();
    current.cleanupInstructions = m_instructions->text().trimmed();
    m_store.saveAppConfig(current);
}
