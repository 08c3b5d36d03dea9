<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>AboutPage</name>
    <message>
        <source>版本 1.0.0</source>
        <translation>Version 1.0.0</translation>
    </message>
    <message>
        <source>智能语音输入和聊天助手</source>
        <translation>Voice typing and chat assistant</translation>
    </message>
    <message>
        <source>功能特性：</source>
        <translation>Features:</translation>
    </message>
    <message>
        <source>• 语音输入法模式 - 语音转文字 + 智能润色</source>
        <translation>• Dictation - speech to text, polished</translation>
    </message>
    <message>
        <source>• 聊天助手模式 - 语音对话 + 语音回复</source>
        <translation>• Chat assistant - ask aloud, hear the answer</translation>
    </message>
    <message>
        <source>• BFF 智能回复 - 截屏分析聊天 + 生成回复</source>
        <translation>• BFF Reply - reads the chat on screen, drafts a reply</translation>
    </message>
    <message>
        <source>• 支持阿里百炼大模型</source>
        <translation>• Runs on Alibaba Cloud Model Studio models</translation>
    </message>
    <message>
        <source>• 全局快捷键快速激活</source>
        <translation>• Starts from a global key, anywhere</translation>
    </message>
</context>
<context>
    <name>ApiKeyPage</name>
    <message>
        <source>已配置</source>
        <translation>Configured</translation>
    </message>
    <message>
        <source>您的 API Key 将安全地存储在%1中</source>
        <translation>Your API key is stored securely in the %1</translation>
    </message>
    <message>
        <source>请输入阿里百炼 API Key</source>
        <translation>Enter your Model Studio API key</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>保存中</source>
        <translation>Saving</translation>
    </message>
    <message>
        <source>如何获取 API Key？</source>
        <translation>How do I get an API key?</translation>
    </message>
    <message>
        <source>1. 访问阿里云百炼平台：%1</source>
        <translation>1. Open Alibaba Cloud Model Studio: %1</translation>
    </message>
    <message>
        <source>2. 登录您的阿里云账号</source>
        <translation>2. Sign in to your Alibaba Cloud account</translation>
    </message>
    <message>
        <source>3. 进入 API-KEY 管理页面</source>
        <translation>3. Go to the API-KEY page</translation>
    </message>
    <message>
        <source>4. 创建新的 API Key 或复制已有的 Key</source>
        <translation>4. Create a new API key or copy an existing one</translation>
    </message>
    <message>
        <source>打开百炼控制台</source>
        <translation>Open the console</translation>
    </message>
    <message>
        <source>隐藏 API Key</source>
        <translation>Hide API key</translation>
    </message>
    <message>
        <source>显示 API Key</source>
        <translation>Show API key</translation>
    </message>
    <message>
        <source>保存中...</source>
        <translation>Saving...</translation>
    </message>
    <message>
        <source>保存成功！</source>
        <translation>Saved.</translation>
    </message>
    <message>
        <source>保存失败，请重试</source>
        <translation>Could not save; please try again</translation>
    </message>
    <message>
        <source>1. 访问阿里云 Model Studio 国际站：%1</source>
        <translation>1. Visit Alibaba Cloud Model Studio (international): %1</translation>
    </message>
    <message>
        <source>打开 Model Studio 控制台</source>
        <translation>Open the Model Studio console</translation>
    </message>
</context>
<context>
    <name>AudioPage</name>
    <message>
        <source>麦克风</source>
        <translation>Microphone</translation>
    </message>
    <message>
        <source>录音使用的麦克风</source>
        <translation>Microphone used for recording</translation>
    </message>
    <message>
        <source>输入电平</source>
        <translation>Input level</translation>
    </message>
    <message>
        <source>从下一次录音起使用。所选麦克风断开时改用系统默认麦克风，状态窗口会提示。</source>
        <translation>Used from the next recording. If the chosen microphone is disconnected, the system default is used and the status window says so.</translation>
    </message>
    <message>
        <source>声音</source>
        <translation>Sounds</translation>
    </message>
    <message>
        <source>录音开始和结束时播放提示音</source>
        <translation>Play a tone when recording starts and stops</translation>
    </message>
    <message>
        <source>录音和播报回答时暂停正在播放的媒体</source>
        <translation>Pause playing media while recording and while the answer is spoken</translation>
    </message>
    <message>
        <source>系统默认</source>
        <translation>System default</translation>
    </message>
    <message>
        <source>%1（未连接）</source>
        <translation>%1 (not connected)</translation>
    </message>
</context>
<context>
    <name>CleanupBox</name>
    <message>
        <source>智能润色</source>
        <translation>Clean-up</translation>
    </message>
    <message>
        <source>润色语音输入的文字</source>
        <translation>Clean up dictated text</translation>
    </message>
    <message>
        <source>关闭：按识别结果输入</source>
        <translation>Off: typed as recognised</translation>
    </message>
    <message>
        <source>轻度：去掉语气词、重复和改口，修正标点</source>
        <translation>Light: fillers, repeats and false starts removed, punctuation fixed</translation>
    </message>
    <message>
        <source>完整：另外整理列表、分段，数字写成阿拉伯数字</source>
        <translation>Full: also lists, paragraphs and numbers as digits</translation>
    </message>
    <message>
        <source>润色的附加要求</source>
        <translation>Your own rule for the clean-up</translation>
    </message>
    <message>
        <source>说完后由对话模型整理文字再输入。润色失败、超时或改变了原意时，按识别结果输入；终端里从不润色。历史记录同时保存原文。</source>
        <translation>The chat model tidies the words before they are typed. When the clean-up fails, takes too long or changes what was said, the words are typed as recognised; terminals are never cleaned up. The history keeps the words as heard too.</translation>
    </message>
    <message>
        <source>附加要求，例如：使用英式拼写</source>
        <translation>Your own rule, e.g. British spelling</translation>
    </message>
    <message>
        <source>润色不成功时按识别结果输入，终端里从不润色</source>
        <translation>When the clean-up does not succeed, the words are typed as recognised; terminals are never cleaned up</translation>
    </message>
</context>
<context>
    <name>ContentView</name>
    <message>
        <source>智能语音输入和聊天助手</source>
        <translation>Voice typing and chat assistant</translation>
    </message>
    <message>
        <source>正在处理</source>
        <translation>Working</translation>
    </message>
    <message>
        <source>桌面功能</source>
        <translation>Desktop features</translation>
    </message>
    <message>
        <source>使用说明：</source>
        <translation>How to use:</translation>
    </message>
    <message>
        <source>语音输入法</source>
        <translation>Dictation</translation>
    </message>
    <message>
        <source>聊天助手</source>
        <translation>Chat assistant</translation>
    </message>
    <message>
        <source>BFF 智能回复</source>
        <translation>BFF Reply</translation>
    </message>
    <message>
        <source>长按 %1</source>
        <translation>Hold %1</translation>
    </message>
    <message>
        <source>请先在设置中配置 API Key</source>
        <translation>Set your API key in Settings first</translation>
    </message>
    <message>
        <source>点击状态栏图标打开设置</source>
        <translation>Click the tray icon to open Settings</translation>
    </message>
    <message>
        <source>正在处理...</source>
        <translation>Working...</translation>
    </message>
    <message>
        <source>就绪</source>
        <translation>Ready</translation>
    </message>
</context>
<context>
    <name>FloatingBallView</name>
    <message>
        <source>免按住录音中：再按一次模式键结束</source>
        <translation>Hands-free recording: press the mode&apos;s key again to end it</translation>
    </message>
    <message>
        <source>免按住录音将在 %1 秒后结束</source>
        <translation>Hands-free recording ends in %1 s</translation>
    </message>
    <message>
        <source>正在润色文字</source>
        <translation>Cleaning up the words</translation>
    </message>
</context>
<context>
    <name>GlobalShortcutsRoute</name>
    <message>
        <source>语音输入法：按住说话，松开后粘贴文字</source>
        <translation>Dictation: hold and speak, let go to paste the text</translation>
    </message>
    <message>
        <source>聊天助手：按住提问，松开后听回答</source>
        <translation>Chat assistant: hold and ask, let go to hear the answer</translation>
    </message>
    <message>
        <source>BFF 智能回复：按住后松开，起草聊天回复</source>
        <translation>BFF Reply: hold and let go to draft a chat reply</translation>
    </message>
</context>
<context>
    <name>HandsFreeBox</name>
    <message>
        <source>免按住录音</source>
        <translation>Hands-free</translation>
    </message>
    <message>
        <source>语音输入法：双击按键后免按住</source>
        <translation>Dictation: a double tap records hands-free</translation>
    </message>
    <message>
        <source>聊天助手：双击按键后免按住</source>
        <translation>Chat assistant: a double tap records hands-free</translation>
    </message>
    <message numerus="yes">
        <source>快速按两下模式键即开始录音，松开后继续录；再按一次结束，Esc 取消，最长 %n 分钟。有些应用自己使用双击 Ctrl，所以聊天助手默认关闭。</source>
        <translation>
            <numerusform>Tap a mode&apos;s key twice quickly to start recording; it goes on after you let go. Press the key again to end, Esc to cancel; at most %n minute. Some applications use a double Ctrl themselves, so this is off for the chat assistant.</numerusform>
            <numerusform>Tap a mode&apos;s key twice quickly to start recording; it goes on after you let go. Press the key again to end, Esc to cancel; at most %n minutes. Some applications use a double Ctrl themselves, so this is off for the chat assistant.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>HostKeysBox</name>
    <message>
        <source>各主机使用的 Key</source>
        <translation>The key each host gets</translation>
    </message>
    <message>
        <source>语音识别与合成（DashScope）</source>
        <translation>Speech recognition and synthesis (DashScope)</translation>
    </message>
    <message>
        <source>DashScope Key</source>
        <translation>the DashScope key</translation>
    </message>
    <message>
        <source>对话与识图</source>
        <translation>Chat and image replies</translation>
    </message>
    <message>
        <source>此主机保存的 Key</source>
        <translation>the key stored for this host</translation>
    </message>
    <message>
        <source>语音合成（OpenAI 兼容）</source>
        <translation>Speech synthesis (OpenAI-compatible)</translation>
    </message>
    <message>
        <source>未保存 Key，不发送 Key</source>
        <translation>no key stored, none sent</translation>
    </message>
    <message>
        <source>%1：%2 — %3</source>
        <translation>%1: %2 — %3</translation>
    </message>
    <message>
        <source>其他主机的 Key 用命令保存：quillwren key set --host 主机名（从标准输入读取）</source>
        <translation>Store another host&apos;s key with: quillwren key set --host HOST (it reads the key from standard input)</translation>
    </message>
    <message>
        <source>语音识别（OpenAI 兼容）</source>
        <translation>Speech recognition (OpenAI-compatible)</translation>
    </message>
</context>
<context>
    <name>HotWordsBox</name>
    <message>
        <source>热词</source>
        <translation>Hot words</translation>
    </message>
    <message>
        <source>教给语音识别的词（人名、产品名、术语），权重 1–5，默认 4；非英文的词最多 15 个字</source>
        <translation>Words taught to the recogniser (names, products, jargon), weight 1–5, 4 by default; at most 15 characters for a non-English word</translation>
    </message>
    <message>
        <source>热词列表</source>
        <translation>Hot word list</translation>
    </message>
    <message>
        <source>新热词</source>
        <translation>New hot word</translation>
    </message>
    <message>
        <source>热词权重</source>
        <translation>Hot word weight</translation>
    </message>
    <message>
        <source>添加热词</source>
        <translation>Add hot word</translation>
    </message>
    <message>
        <source>删除所选热词</source>
        <translation>Remove selected hot word</translation>
    </message>
    <message>
        <source>热词错误</source>
        <translation>Hot word error</translation>
    </message>
    <message>
        <source>热词同步状态</source>
        <translation>Hot word sync state</translation>
    </message>
    <message>
        <source>%1（权重 %2）</source>
        <translation>%1 (weight %2)</translation>
    </message>
    <message>
        <source>正在同步...</source>
        <translation>Syncing...</translation>
    </message>
    <message>
        <source>没有热词</source>
        <translation>No hot words</translation>
    </message>
    <message>
        <source>已同步</source>
        <translation>Synced</translation>
    </message>
    <message>
        <source>尚未同步</source>
        <translation>Not synced yet</translation>
    </message>
    <message>
        <source>同步失败：%1</source>
        <translation>Sync failed: %1</translation>
    </message>
</context>
<context>
    <name>KeyRouteBox</name>
    <message>
        <source>读取按键的方式</source>
        <translation>How keys are read</translation>
    </message>
    <message>
        <source>选择读取按键的方式</source>
        <translation>Choose how keys are read</translation>
    </message>
    <message>
        <source>自动（推荐）</source>
        <translation>Automatic (recommended)</translation>
    </message>
    <message>
        <source>更改后重新启动 Quillwren 生效</source>
        <translation>Takes effect when Quillwren restarts</translation>
    </message>
</context>
<context>
    <name>KeyRoutes</name>
    <message>
        <source>X11 键盘事件（XInput2）</source>
        <translation>X11 keyboard events (XInput2)</translation>
    </message>
    <message>
        <source>键盘设备（evdev）</source>
        <translation>Keyboard devices (evdev)</translation>
    </message>
    <message>
        <source>桌面全局快捷键（按键在桌面设置中选择）</source>
        <translation>Desktop global shortcuts (keys chosen in the desktop&apos;s settings)</translation>
    </message>
    <message>
        <source>桌面按键绑定（quillwren hold/release 命令）</source>
        <translation>Desktop key bindings (quillwren hold/release commands)</translation>
    </message>
    <message>
        <source>正在使用：%1</source>
        <translation>In use: %1</translation>
    </message>
    <message>
        <source>桌面全局快捷键未绑定：%1</source>
        <translation>Desktop global shortcuts not bound: %1</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>未设置按键</source>
        <translation>no key set</translation>
    </message>
</context>
<context>
    <name>ModelPage</name>
    <message>
        <source>LLM 配置</source>
        <translation>Chat model</translation>
    </message>
    <message>
        <source>模型名称</source>
        <translation>Model name</translation>
    </message>
    <message>
        <source>ASR 配置</source>
        <translation>Speech recognition</translation>
    </message>
    <message>
        <source>语音识别模型</source>
        <translation>Recognition model</translation>
    </message>
    <message>
        <source>识别语言</source>
        <translation>Recognition language</translation>
    </message>
    <message>
        <source>自动</source>
        <translation>Automatic</translation>
    </message>
    <message>
        <source>中文</source>
        <translation>Chinese</translation>
    </message>
    <message>
        <source>日本語</source>
        <translation>Japanese</translation>
    </message>
    <message>
        <source>TTS 配置</source>
        <translation>Speech synthesis</translation>
    </message>
    <message>
        <source>语音合成模型</source>
        <translation>Synthesis model</translation>
    </message>
    <message>
        <source>语音音色</source>
        <translation>Voice</translation>
    </message>
    <message>
        <source>VL 视觉模型配置</source>
        <translation>Vision model</translation>
    </message>
    <message>
        <source>视觉模型名称</source>
        <translation>Vision model name</translation>
    </message>
    <message>
        <source>用于 BFF 智能回复，分析截图中的聊天界面</source>
        <translation>Used by BFF Reply to read the chat in a screenshot</translation>
    </message>
    <message>
        <source>恢复默认设置</source>
        <translation>Restore defaults</translation>
    </message>
</context>
<context>
    <name>ModifierKeyChip</name>
    <message>
        <source>已选择</source>
        <translation>Selected</translation>
    </message>
</context>
<context>
    <name>ModifierKeyPicker</name>
    <message>
        <source>启用%1</source>
        <translation>Enable %1</translation>
    </message>
    <message>
        <source>已禁用</source>
        <translation>Disabled</translation>
    </message>
    <message>
        <source>长按 %1 键激活「%2」</source>
        <translation>Hold %1 to start %2</translation>
    </message>
</context>
<context>
    <name>RecentTakesView</name>
    <message>
        <source>最近的记录</source>
        <translation>Recent takes</translation>
    </message>
    <message>
        <source>最近的记录：</source>
        <translation>Recent takes:</translation>
    </message>
    <message>
        <source>最近的记录列表</source>
        <translation>List of recent takes</translation>
    </message>
    <message>
        <source>还没有记录</source>
        <translation>Nothing yet</translation>
    </message>
    <message>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>复制：%1</source>
        <translation>Copy: %1</translation>
    </message>
    <message>
        <source>重试</source>
        <translation>Retry</translation>
    </message>
    <message>
        <source>重试：%1</source>
        <translation>Retry: %1</translation>
    </message>
    <message>
        <source>已取消</source>
        <translation>Cancelled</translation>
    </message>
    <message>
        <source>失败</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>复制原文</source>
        <translation>Copy as heard</translation>
    </message>
    <message>
        <source>复制原文：%1</source>
        <translation>Copy as heard: %1</translation>
    </message>
</context>
<context>
    <name>ServiceRegionBox</name>
    <message>
        <source>服务地域</source>
        <translation>Service region</translation>
    </message>
    <message>
        <source>北京（中国内地）</source>
        <translation>Beijing (Chinese mainland)</translation>
    </message>
    <message>
        <source>新加坡（国际）</source>
        <translation>Singapore (international)</translation>
    </message>
    <message>
        <source>地域</source>
        <translation>Region</translation>
    </message>
    <message>
        <source>业务空间 ID</source>
        <translation>Workspace ID</translation>
    </message>
    <message>
        <source>可选，留空使用地域的公共地址</source>
        <translation>Optional; leave empty for the region&apos;s public address</translation>
    </message>
    <message>
        <source>在阿里云 Model Studio 国际站（新加坡）创建的 API Key 选这里。</source>
        <translation>Choose this for API keys created on Alibaba Cloud Model Studio international (Singapore). </translation>
    </message>
    <message>
        <source>在阿里云百炼控制台（中国内地，北京）创建的 API Key 选这里。</source>
        <translation>Choose this for API keys created in the Model Studio console of the Chinese mainland (Beijing). </translation>
    </message>
    <message>
        <source>%1API Key 只在创建它的地域有效。服务地址：%2</source>
        <translation>%1An API key works only in the region it was created in. Service address: %2</translation>
    </message>
    <message>
        <source>业务空间 ID 只能由字母、数字和连字符组成，未保存</source>
        <translation>A workspace ID has only letters, digits and hyphens; not saved</translation>
    </message>
</context>
<context>
    <name>SettingsWindow</name>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>API 配置</source>
        <translation>API Key</translation>
    </message>
    <message>
        <source>模型设置</source>
        <translation>Models</translation>
    </message>
    <message>
        <source>快捷键</source>
        <translation>Shortcuts</translation>
    </message>
    <message>
        <source>文字与历史</source>
        <translation>Text and History</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>音频</source>
        <translation>Audio</translation>
    </message>
</context>
<context>
    <name>ShortcutPage</name>
    <message>
        <source>语音输入法</source>
        <translation>Dictation</translation>
    </message>
    <message>
        <source>聊天助手</source>
        <translation>Chat assistant</translation>
    </message>
    <message>
        <source>BFF 智能回复</source>
        <translation>BFF Reply</translation>
    </message>
    <message>
        <source>BFF 模式：%1 / %2 等组合键不会误触发</source>
        <translation>BFF Reply: chords such as %1 / %2 do not trigger it</translation>
    </message>
    <message>
        <source>按住时按下其他键或鼠标（如 Alt+Tab、Esc）会取消本次操作</source>
        <translation>Pressing another key or a mouse button while holding (e.g. Alt+Tab, Esc) cancels the take</translation>
    </message>
    <message>
        <source>使用说明</source>
        <translation>How to use</translation>
    </message>
    <message>
        <source>• 长按对应修饰键约 0.3 秒激活功能</source>
        <translation>• Hold a mode&apos;s key for about 0.3 s to start it</translation>
    </message>
    <message>
        <source>• 松开按键后执行操作</source>
        <translation>• Let go of the key to finish</translation>
    </message>
    <message>
        <source>• 各模式修饰键不能相同（会冲突）</source>
        <translation>• Each mode needs its own key (the same key conflicts)</translation>
    </message>
    <message>
        <source>• 可单独禁用不需要的模式</source>
        <translation>• Modes you do not need can be turned off</translation>
    </message>
    <message>
        <source>• 需要辅助功能权限才能全局监听</source>
        <translation>• Reading keys everywhere needs the desktop&apos;s permission</translation>
    </message>
    <message>
        <source>辅助功能权限已开启</source>
        <translation>Key access is available</translation>
    </message>
    <message>
        <source>开启辅助功能权限</source>
        <translation>Allow key access</translation>
    </message>
    <message>
        <source>恢复快捷键默认设置</source>
        <translation>Restore default shortcuts</translation>
    </message>
    <message>
        <source>录音和播报回答时暂停正在播放的媒体</source>
        <translation>Pause playing media while recording and while the answer is spoken</translation>
    </message>
    <message>
        <source>录音时在指示球旁显示识别出的文字</source>
        <translation>Show the recognised words beside the ball while recording</translation>
    </message>
</context>
<context>
    <name>StatusBarController</name>
    <message>
        <source>打开设置</source>
        <translation>Open Settings</translation>
    </message>
    <message>
        <source>登录时启动</source>
        <translation>Start at login</translation>
    </message>
    <message>
        <source>退出 Quillwren</source>
        <translation>Quit Quillwren</translation>
    </message>
</context>
<context>
    <name>TextPage</name>
    <message>
        <source>替换表</source>
        <translation>Replacements</translation>
    </message>
    <message>
        <source>识别结果中的词按顺序替换后再输入或提问，区分大小写</source>
        <translation>Words in the transcript are replaced in order before they are typed or asked; case matters</translation>
    </message>
    <message>
        <source>识别为</source>
        <translation>Heard as</translation>
    </message>
    <message>
        <source>替换为</source>
        <translation>Replace with</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>新的替换：识别为</source>
        <translation>New replacement: heard as</translation>
    </message>
    <message>
        <source>新的替换：替换为</source>
        <translation>New replacement: replace with</translation>
    </message>
    <message>
        <source>添加替换</source>
        <translation>Add replacement</translation>
    </message>
    <message>
        <source>删除所选替换</source>
        <translation>Remove selected</translation>
    </message>
    <message>
        <source>历史记录</source>
        <translation>History</translation>
    </message>
    <message>
        <source>保存历史记录</source>
        <translation>Keep a history</translation>
    </message>
    <message>
        <source>最近 %1 次的文字保存在 %2，只有你能读取</source>
        <translation>The text of the last %1 takes is kept in %2, readable by you alone</translation>
    </message>
    <message>
        <source>清空历史记录</source>
        <translation>Clear history</translation>
    </message>
    <message>
        <source>无法清空：%1</source>
        <translation>Could not clear: %1</translation>
    </message>
    <message>
        <source>剪贴板</source>
        <translation>Clipboard</translation>
    </message>
    <message>
        <source>粘贴后恢复剪贴板原内容</source>
        <translation>Restore the clipboard after pasting</translation>
    </message>
    <message>
        <source>关闭时，输入的文字留在剪贴板中</source>
        <translation>When off, the typed text stays on the clipboard</translation>
    </message>
</context>
<context>
    <name>UserText</name>
    <message>
        <source>新加坡</source>
        <translation>Singapore</translation>
    </message>
    <message>
        <source>北京</source>
        <translation>Beijing</translation>
    </message>
    <message>
        <source>这个 API Key 属于%1地域，而设置的是%2地域：在设置的 API Key 页选择%1，或运行 %3</source>
        <translation>This API key belongs to the %1 region, but %2 is set: choose %1 on the API Key page of Settings, or run %3</translation>
    </message>
    <message>
        <source>桌面未绑定全局快捷键：请在桌面设置中为 Quillwren 设置按键，或绑定 `quillwren hold`/`release` 命令</source>
        <translation>The desktop has bound no global shortcuts: set keys for Quillwren in the desktop&apos;s settings, or bind the `quillwren hold`/`release` commands</translation>
    </message>
    <message>
        <source>请在桌面弹出的对话框中允许 Quillwren 控制键盘（只用于粘贴识别的文字）</source>
        <translation>Allow Quillwren to control the keyboard in the desktop&apos;s dialog (only used to paste the recognised text)</translation>
    </message>
    <message>
        <source>已获得按键权限，松开按键后文字会自动粘贴</source>
        <translation>Keyboard access granted: the text is pasted when you let go of the key</translation>
    </message>
    <message>
        <source>未获得按键权限：识别的文字会留在剪贴板，请手动粘贴</source>
        <translation>No keyboard access: the recognised text stays on the clipboard; paste it yourself</translation>
    </message>
    <message>
        <source>录音未能完成</source>
        <translation>The recording could not finish</translation>
    </message>
    <message>
        <source>编码错误：%1</source>
        <translation>Encoding error: %1</translation>
    </message>
    <message>
        <source>编码错误</source>
        <translation>Encoding error</translation>
    </message>
    <message>
        <source>无有效音频输入设备（通道=%1, 采样率=%2）</source>
        <translation>No usable audio input device (channels=%1, sample rate=%2)</translation>
    </message>
    <message>
        <source>音频引擎启动失败（QAudio 错误 %1）</source>
        <translation>The audio engine did not start (QAudio error %1)</translation>
    </message>
    <message>
        <source>音频播放超时</source>
        <translation>Audio playback timed out</translation>
    </message>
    <message>
        <source>没有可播放的音频</source>
        <translation>No audio to play</translation>
    </message>
    <message>
        <source>没有可用的音频输出设备</source>
        <translation>No audio output device</translation>
    </message>
    <message>
        <source>音频播放无法开始（错误 %1）</source>
        <translation>Audio playback could not start (error %1)</translation>
    </message>
    <message>
        <source>音频播放中断（错误 %1）</source>
        <translation>Audio playback stopped (error %1)</translation>
    </message>
    <message>
        <source>音频解码错误：%1</source>
        <translation>Audio decoding error: %1</translation>
    </message>
    <message>
        <source>请先配置 API Key</source>
        <translation>Set your API key first</translation>
    </message>
    <message>
        <source>无效的服务地址：%1</source>
        <translation>Invalid service address: %1</translation>
    </message>
    <message>
        <source>服务 %1 秒没有回应，请求已放弃</source>
        <translation>The service did not answer for %1 s; the request was given up</translation>
    </message>
    <message>
        <source>未知错误</source>
        <translation>Unknown error</translation>
    </message>
    <message>
        <source>LLM 流式请求失败 (%1): %2</source>
        <translation>Chat request failed (%1): %2</translation>
    </message>
    <message>
        <source>(无法解析响应体)</source>
        <translation>(unreadable response body)</translation>
    </message>
    <message>
        <source>VL 请求失败 (%1): %2</source>
        <translation>Vision request failed (%1): %2</translation>
    </message>
    <message>
        <source>无法解析视觉模型的响应</source>
        <translation>Could not read the vision model&apos;s answer</translation>
    </message>
    <message>
        <source>无响应内容</source>
        <translation>The answer was empty</translation>
    </message>
    <message>
        <source>连接已取消</source>
        <translation>Connection cancelled</translation>
    </message>
    <message>
        <source>连接超时 - 请检查 API Key 和网络连接</source>
        <translation>Connection timed out - check the API key and the network</translation>
    </message>
    <message>
        <source>识别错误：%1</source>
        <translation>Recognition error: %1</translation>
    </message>
    <message>
        <source>ASR 任务未启动或已结束</source>
        <translation>The recognition task has not started or has ended</translation>
    </message>
    <message>
        <source>未获得麦克风权限</source>
        <translation>No microphone access</translation>
    </message>
    <message>
        <source>连接错误：%1</source>
        <translation>Connection error: %1</translation>
    </message>
    <message>
        <source>重连次数超限</source>
        <translation>Too many reconnection attempts</translation>
    </message>
    <message>
        <source>TTS 合成超时</source>
        <translation>Speech synthesis timed out</translation>
    </message>
    <message>
        <source>TTS 任务失败</source>
        <translation>Speech synthesis failed</translation>
    </message>
    <message>
        <source>语音输入法</source>
        <translation>Dictation</translation>
    </message>
    <message>
        <source>聊天助手</source>
        <translation>Chat assistant</translation>
    </message>
    <message>
        <source>BFF智能回复</source>
        <translation>BFF Reply</translation>
    </message>
    <message>
        <source>%1 与 %2</source>
        <translation>%1 and %2</translation>
    </message>
    <message>
        <source>⚠️ 快捷键冲突：%1 使用了相同的修饰键</source>
        <translation>⚠️ Shortcut conflict: %1 use the same modifier key</translation>
    </message>
    <message>
        <source>普通话、英语</source>
        <translation>Mandarin, English</translation>
    </message>
    <message>
        <source>阳光男生</source>
        <translation>Sunny young man</translation>
    </message>
    <message>
        <source>活泼开朗女生</source>
        <translation>Lively, cheerful young woman</translation>
    </message>
    <message>
        <source>年轻温婉男生</source>
        <translation>Young, gentle man</translation>
    </message>
    <message>
        <source>低调沉稳女声</source>
        <translation>Quiet, steady woman</translation>
    </message>
    <message>
        <source>温柔共情女声</source>
        <translation>Warm, caring woman</translation>
    </message>
    <message>
        <source>温和沉稳女声</source>
        <translation>Mild, steady woman</translation>
    </message>
    <message>
        <source>识别中：%1</source>
        <translation>Hearing: %1</translation>
    </message>
    <message>
        <source>识别完成：%1</source>
        <translation>Heard: %1</translation>
    </message>
    <message>
        <source>BFF 模式就绪，松开按键开始分析...</source>
        <translation>BFF Reply ready: let go to read the chat...</translation>
    </message>
    <message>
        <source>已取消</source>
        <translation>Cancelled</translation>
    </message>
    <message>
        <source>正在聆听...</source>
        <translation>Listening...</translation>
    </message>
    <message>
        <source>实时识别启动失败：%1</source>
        <translation>Recognition did not start: %1</translation>
    </message>
    <message>
        <source>正在处理...</source>
        <translation>Working...</translation>
    </message>
    <message>
        <source>未识别到语音内容</source>
        <translation>No speech was heard</translation>
    </message>
    <message>
        <source>文本已输入</source>
        <translation>Text typed</translation>
    </message>
    <message>
        <source>正在截屏...</source>
        <translation>Capturing the screen...</translation>
    </message>
    <message>
        <source>截屏失败，请在系统设置中授予屏幕录制权限</source>
        <translation>Screen capture failed: allow screen recording in the system settings</translation>
    </message>
    <message>
        <source>正在分析聊天内容...</source>
        <translation>Reading the chat...</translation>
    </message>
    <message>
        <source>分析失败：%1</source>
        <translation>Reading the chat failed: %1</translation>
    </message>
    <message>
        <source>正在输入回复...</source>
        <translation>Typing the reply...</translation>
    </message>
    <message>
        <source>BFF 回复已输入</source>
        <translation>Reply typed</translation>
    </message>
    <message>
        <source>正在思考...</source>
        <translation>Thinking...</translation>
    </message>
    <message>
        <source>正在回复...</source>
        <translation>Answering...</translation>
    </message>
    <message>
        <source>回复失败：%1</source>
        <translation>The answer failed: %1</translation>
    </message>
    <message>
        <source>回复中断：%1</source>
        <translation>The answer stopped: %1</translation>
    </message>
    <message>
        <source>回复已完成</source>
        <translation>Answer finished</translation>
    </message>
    <message>
        <source>TTS 没有返回音频</source>
        <translation>Speech synthesis returned no audio</translation>
    </message>
    <message>
        <source>音频解码错误</source>
        <translation>Audio decoding error</translation>
    </message>
    <message>
        <source>文本已复制到剪贴板，请手动粘贴</source>
        <translation>The text is on the clipboard; paste it yourself</translation>
    </message>
    <message>
        <source>系统 Keychain</source>
        <translation>system Keychain</translation>
    </message>
    <message>
        <source>系统密钥环</source>
        <translation>system keyring</translation>
    </message>
    <message>
        <source>所选麦克风「%1」不可用，正在使用系统默认麦克风</source>
        <translation>The chosen microphone “%1” is not available; the system default microphone is used</translation>
    </message>
    <message>
        <source>历史记录中没有第 %1 条</source>
        <translation>The history has no take %1</translation>
    </message>
    <message>
        <source>没有保存了音频的失败或取消的录音</source>
        <translation>No failed or cancelled take with its audio kept</translation>
    </message>
    <message>
        <source>连接中断</source>
        <translation>The connection was lost</translation>
    </message>
    <message>
        <source>正在处理中，请稍后再试</source>
        <translation>Busy with another take, try again in a moment</translation>
    </message>
    <message>
        <source>这次录音没有保存音频，无法重试</source>
        <translation>This take has no kept audio to send again</translation>
    </message>
    <message>
        <source>无法读取保存的音频：%1</source>
        <translation>The kept audio cannot be read: %1</translation>
    </message>
    <message>
        <source>正在重新识别...</source>
        <translation>Recognising the kept audio again...</translation>
    </message>
    <message>
        <source>重试失败：%1</source>
        <translation>Retry failed: %1</translation>
    </message>
    <message>
        <source>本次录音也未能保存（%1）</source>
        <translation>the recording could not be kept either (%1)</translation>
    </message>
    <message>
        <source>润色结果为空</source>
        <translation>the clean-up came back empty</translation>
    </message>
    <message>
        <source>润色结果含有提示标签</source>
        <translation>the clean-up still held the prompt&apos;s tag</translation>
    </message>
    <message>
        <source>润色结果带有开场白</source>
        <translation>the clean-up began with a preamble</translation>
    </message>
    <message>
        <source>润色结果换了语言</source>
        <translation>the clean-up changed the language</translation>
    </message>
    <message>
        <source>润色结果比原文长得多</source>
        <translation>the clean-up was far longer than the words</translation>
    </message>
    <message>
        <source>润色结果比原文短得多</source>
        <translation>the clean-up was far shorter than the words</translation>
    </message>
    <message>
        <source>润色结果丢了太多原文</source>
        <translation>the clean-up dropped too much of the words</translation>
    </message>
    <message>
        <source>润色结果不是原文的修改</source>
        <translation>the clean-up was not an edit of the words</translation>
    </message>
    <message>
        <source>正在润色...</source>
        <translation>Cleaning up...</translation>
    </message>
    <message>
        <source>润色超时</source>
        <translation>the clean-up took too long</translation>
    </message>
    <message>
        <source>润色请求失败</source>
        <translation>the clean-up request failed</translation>
    </message>
    <message>
        <source>文本已输入（未润色：%1）</source>
        <translation>Text typed (not cleaned up: %1)</translation>
    </message>
    <message>
        <source>语音合成超时</source>
        <translation>Speech synthesis timed out</translation>
    </message>
    <message>
        <source>语音合成失败 (%1): %2</source>
        <translation>Speech synthesis failed (%1): %2</translation>
    </message>
    <message>
        <source>转写失败 (%1): %2</source>
        <translation>Transcription failed (%1): %2</translation>
    </message>
    <message>
        <source>转写超时：%1 秒内没有回答</source>
        <translation>Transcription timed out: no answer within %1 s</translation>
    </message>
    <message>
        <source>识别失败：%1</source>
        <translation>Recognition failed: %1</translation>
    </message>
</context>
</TS>
