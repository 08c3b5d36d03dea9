#pragma once

#include <QString>

#include <QCoroTask>

class DesktopBackend;

// Puts text into whatever application has the keyboard focus: the clipboard
// takes the text (and keeps it), then the paste chord is posted. Nothing is
// reported as a failure; the log says what happened.
class TextInputService
{
public:
    explicit TextInputService(DesktopBackend &desktop);

    QCoro::Task<> insertTextIntoFocusedApp(QString text);
    QCoro::Task<> simulatePaste();

private:
    DesktopBackend &m_desktop;
};
