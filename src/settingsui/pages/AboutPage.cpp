#include "AboutPage.h"

#include "SettingsWidgets.h"

#include <QLabel>
#include <QVBoxLayout>

AboutPage::AboutPage(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    SettingsWidgets::addNameplate(layout, this, 60, 1.6, {tr("版本 1.0.0"), tr("智能语音输入和聊天助手")});

    auto *features = new QVBoxLayout;
    features->setSpacing(8);
    auto *heading = new QLabel(tr("功能特性："), this);
    heading->setFont(SettingsWidgets::semibold(heading->font()));
    features->addWidget(heading);
    for (const QString &line :
         {tr("• 语音输入法模式 - 语音转文字 + 智能润色"), tr("• 聊天助手模式 - 语音对话 + 语音回复"),
          tr("• BFF 智能回复 - 截屏分析聊天 + 生成回复"), tr("• 支持阿里百炼大模型"), tr("• 全局快捷键快速激活")})
        features->addWidget(new QLabel(line, this));
    layout->addLayout(features);
    layout->addStretch();
}
