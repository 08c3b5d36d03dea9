#pragma once

#include <QString>

#include <QCoroTask>

class DesktopBackend;

// Puts text into whatever application has the keyboard focus: the clipboard
// takes the text (and keeps it), then the paste chord is posted. Both answer
// whether the chord went out; when it did not, the text waits on the clipboard.
class TextInputService
{
public:
    explicit TextInputService(DesktopBackend &desktop);

    // restoreClipboard: give the clipboard's earlier content back once the
    // target has the text (where the desktop can; never when the keystroke
    // could not be sent, since then the text must wait on the clipboard).
    QCoro::Task<bool> insertTextIntoFocusedApp(QString text, bool restoreClipboard = false);
    QCoro::Task<bool> simulatePaste();

private:
    DesktopBackend &m_desktop;
};
