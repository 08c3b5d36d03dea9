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

    QCoro::Task<bool> insertTextIntoFocusedApp(QString text);
    QCoro::Task<bool> simulatePaste();

private:
    DesktopBackend &m_desktop;
};
