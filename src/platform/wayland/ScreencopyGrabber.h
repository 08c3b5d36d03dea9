#pragma once

#include <QImage>
#include <QString>

class WaylandDisplay;
struct wl_output;

// A picture of one output through wlr-screencopy (wlroots compositors): what
// the user sees, native and XWayland windows alike, without a prompt.
class ScreencopyGrabber final
{
public:
    explicit ScreencopyGrabber(WaylandDisplay &display);

    bool isAvailable() const;
    // The output's pixels at full size; a null image (and *error) when the
    // compositor refuses or does not answer within timeoutMs.
    QImage grab(wl_output *output, QString *error, int timeoutMs = 3000);

private:
    WaylandDisplay &m_display;
};
