#pragma once

#include <QImage>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

#include <QCoroTask>

#include <optional>

class DesktopBackend;
class QScreen;

// Takes a picture of the screen that holds the keyboard focus, scaled and
// encoded for the vision request. Every failure returns nothing after one log line.
class ScreenCaptureService
{
public:
    // What the reply mode sends: at most this many pixels on the longer side,
    // as a JPEG of this quality.
    static constexpr int kReplyMaxDimension = 1920;
    static constexpr double kReplyJpegQuality = 0.7;

    explicit ScreenCaptureService(DesktopBackend &desktop);

    std::optional<QString> captureFocusedScreenAsBase64(int maxDimension, double quality);
    std::optional<QImage> captureFocusedScreen();
    // The same where the desktop may take its time (a portal that asks the
    // user): what the reply mode and `capture` use.
    QCoro::Task<std::optional<QString>> captureFocusedScreenAsBase64Async(int maxDimension, double quality);
    // The screen with the focused window, else the one under the pointer, else the primary one.
    QScreen *findFocusedScreen();

    // The choice itself, over screen areas: the index of the area holding the
    // focused window's centre, else the pointer; nothing when neither matches.
    static std::optional<qsizetype> pickScreen(const QList<QRect> &screens, const std::optional<QRect> &focusedWindow,
                                               const std::optional<QPoint> &pointer);

private:
    // The screen to capture, after the checks; null (logged) when none can be.
    QScreen *screenToCapture();
    // The picture taken, logged; nothing when it is empty.
    static std::optional<QImage> taken(const QImage &image);
    static std::optional<QString> encoded(const std::optional<QImage> &image, int maxDimension, double quality);

    DesktopBackend &m_desktop;
};
