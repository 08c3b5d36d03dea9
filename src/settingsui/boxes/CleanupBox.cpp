#include "CleanupBox.h"

#include "SettingsStore.h"
#include "SettingsWidgets.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

CleanupBox::CleanupBox(SettingsStore &store, QWidget *parent) : QGroupBox(tr("智能润色"), parent), m_store(store)
{
    setAccessibleName(tr("智能润色"));
    const AppConfig config = store.loadAppConfig();
    auto *layout = new QFormLayout(this);
    m_level = new QComboBox(this);
    m_level->setAccessibleName(tr("润色语音输入的文字"));
    m_level->addItem(tr("关闭：按识别结果输入"), QStringLiteral("off"));
    m_level->addItem(tr("轻度：去掉语气词、重复和改口，修正标点"), QStringLiteral("light"));
    m_level->addItem(tr("完整：另外整理列表、分段，数字写成阿拉伯数字"), QStringLiteral("full"));
    m_level->setCurrentIndex(std::max(0, m_level->findData(config.dictationCleanup)));
    layout->addRow(tr("润色"), m_level);
    m_instructions = new QLineEdit(config.cleanupInstructions, this);
    m_instructions->setMaxLength(AppConfig::kMaxCleanupInstructions);
    m_instructions->setPlaceholderText(tr("例如：使用英式拼写"));
    m_instructions->setAccessibleName(tr("润色的附加要求"));
    layout->addRow(tr("附加要求"), m_instructions);
    layout->addRow(SettingsWidgets::secondaryLabel(
        tr("说完后由对话模型整理文字再输入。润色失败、超时或改变了原意时，按识别结果输入；终端里从不润色。"
           "历史记录同时保存原文。"),
        this));
    connect(m_level, &QComboBox::activated, this, &CleanupBox::save);
    connect(m_instructions, &QLineEdit::editingFinished, this, &CleanupBox::save);
}

void CleanupBox::save()
{
    AppConfig current = m_store.loadAppConfig();
    current.dictationCleanup = m_level->currentData().toString();
    current.cleanupInstructions = m_instructions->text().trimmed();
    m_store.saveAppConfig(current);
}
