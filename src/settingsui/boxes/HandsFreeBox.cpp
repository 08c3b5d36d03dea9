#include "HandsFreeBox.h"

#include "SettingSwitch.h"
#include "SettingsStore.h"
#include "SettingsWidgets.h"

#include <QLabel>
#include <QVBoxLayout>

HandsFreeBox::HandsFreeBox(SettingsStore &store, QWidget *parent) : QGroupBox(tr("免按住录音"), parent)
{
    setAccessibleName(tr("免按住录音"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(
        new SettingSwitch(tr("语音输入法：双击按键后免按住"), store, &AppConfig::handsFreeVoiceInput, this));
    layout->addWidget(
        new SettingSwitch(tr("聊天助手：双击按键后免按住"), store, &AppConfig::handsFreeChatAssistant, this));
    layout->addWidget(SettingsWidgets::secondaryLabel(
        tr("快速按两下模式键即开始录音，松开后继续录；再按一次结束，Esc 取消，最长 %n 分钟。"
           "有些应用自己使用双击 Ctrl，所以聊天助手默认关闭。",
           nullptr, store.loadAppConfig().handsFreeLimitSeconds / 60),
        this));
}
