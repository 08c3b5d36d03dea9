#include "HandsFreeBox.h"

#include "SettingsStore.h"
#include "SettingsWidgets.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

HandsFreeBox::HandsFreeBox(SettingsStore &store, QWidget *parent)
    : QGroupBox(tr("免按住录音"), parent), m_store(store)
{
    setAccessibleName(tr("免按住录音"));
    auto *layout = new QVBoxLayout(this);
    const AppConfig config = m_store.loadAppConfig();
    m_voiceInput = new QCheckBox(tr("语音输入法：双击按键后免按住"), this);
    m_voiceInput->setChecked(config.handsFreeVoiceInput);
    m_chatAssistant = new QCheckBox(tr("聊天助手：双击按键后免按住"), this);
    m_chatAssistant->setChecked(config.handsFreeChatAssistant);
    for (QCheckBox *box : {m_voiceInput, m_chatAssistant})
        box->setAccessibleName(box->text());
    layout->addWidget(m_voiceInput);
    layout->addWidget(m_chatAssistant);
    layout->addWidget(SettingsWidgets::secondaryLabel(
        tr("快速按两下模式键即开始录音，松开后继续录；再按一次结束，Esc 取消，最长 %n 分钟。"
           "有些应用自己使用双击 Ctrl，所以聊天助手默认关闭。",
           nullptr, config.handsFreeLimitSeconds / 60),
        this));
    connect(m_voiceInput, &QCheckBox::toggled, this,
            [this](bool on) { m_store.saveAppConfigMember(&AppConfig::handsFreeVoiceInput, on); });
    connect(m_chatAssistant, &QCheckBox::toggled, this,
            [this](bool on) { m_store.saveAppConfigMember(&AppConfig::handsFreeChatAssistant, on); });
}
