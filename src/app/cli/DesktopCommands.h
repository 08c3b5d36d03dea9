#pragma once

#include <QStringList>

#include <QCoroTask>

class DesktopBackend;

// `quillwren type|capture`: the paste into the focused application and the
// capture of the focused screen, as the assistant's pipelines do them.
class DesktopCommands
{
public:
    explicit DesktopCommands(DesktopBackend &desktop);

    // type "TEXT" [--delay SECONDS]
    QCoro::Task<int> type(QStringList args);
    // capture -o FILE.jpg | capture --base64
    QCoro::Task<int> capture(QStringList args);

private:
    DesktopBackend &m_desktop;
};
