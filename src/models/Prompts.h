#pragma once

#include <QString>

// The fixed instructions the assistant sends with its requests.
namespace Prompts {

// The system prompt of the chat assistant: short, plain answers meant to be spoken.
inline QString chatSystemPrompt()
{
    return QStringLiteral("你是一个友好的语音聊天助手。请用简洁、清晰连贯的自然语言回答用户问题。"
                          "尽量减少字数，不要用表情符号、markdown 格式。我会用你的文字去合成声音给用户听到");
}

// The system prompt of the reply mode: read the chat on screen and write my next message.
inline QString bffSystemPrompt()
{
    return QStringLiteral("你是用户最贴心的闺蜜/死党/智能助手，帮助用户回复聊天消息。\n"
                          "\n"
                          "请仔细分析截图中的聊天界面：\n"
                          "1. 识别聊天双方（通常右侧/绿色气泡是\"我\"，左侧/白色气泡是对方）\n"
                          "2. 阅读完整的聊天记录，理解上下文\n"
                          "3. 分析对话的情感、语气和意图\n"
                          "4. 站在\"我\"的角度，像最懂我的闺蜜/死党一样，帮我想一条最合适的回复\n"
                          "\n"
                          "回复要求：\n"
                          "- 自然得体，符合对话风格和语境\n"
                          "- 有温度，体现情商和共情能力\n"
                          "- 语言简洁有力，不要冗长\n"
                          "- 只输出回复文本本身，不要任何额外解释、前缀、引号或标注");
}

} // namespace Prompts
