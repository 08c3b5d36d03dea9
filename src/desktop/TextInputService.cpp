#include "TextInputService.h"

#include "DesktopBackend.h"
#include "Log.h"

TextInputService::TextInputService(DesktopBackend &desktop) : m_desktop(desktop) {}

QCoro::Task<bool> TextInputService::insertTextIntoFocusedApp(QString text, bool restoreClipboard)
{
    const bool saved = restoreClipboard && m_desktop.saveClipboard();
    if (restoreClipboard && !saved)
        Log::line(QStringLiteral("⚠️ [剪贴板] 此桌面无法恢复剪贴板原内容，文本将留在剪贴板"));
    // The clipboard is this process's: it serves the text to the application
    // that pastes, for as long as the process runs or until replaced.
    m_desktop.setClipboardText(text);
    const bool pasted = co_await simulatePaste();
    if (pasted && saved)
        co_await m_desktop.restoreClipboard(text);
    co_return pasted;
}

QCoro::Task<bool> TextInputService::simulatePaste()
{
    if (!m_desktop.canPaste()) {
        Log::line(QStringLiteral("⚠️ [粘贴] 当前桌面不支持模拟按键，文本已放入剪贴板"));
        co_return false;
    }
    // With no window focused (the one the user dictated for has closed) the
    // keystroke would reach nothing: say so, the text waits on the clipboard.
    if (!m_desktop.hasFocusedWindow()) {
        Log::line(QStringLiteral("⚠️ [粘贴] 没有获得键盘焦点的窗口，文本已放入剪贴板"));
        co_return false;
    }
    co_await m_desktop.paste();
    co_return true;
}
