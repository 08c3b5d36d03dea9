#pragma once

#include <QImage>
#include <QRect>
#include <QTimer>

#include <chrono>

#include <memory>

struct _XDisplay;

// Reads an area of the root window through a shared-memory segment
// (MIT-SHM): the server writes the pixels straight into our memory instead of
// sending them through the socket, which at 5120x2880 is 59 MB per capture.
// Only where the server offers the extension and can reach our memory (not a
// remote display), and for the 32-bit RGB layout of today's screens; the
// caller falls back to a plain read otherwise.
class X11ScreenGrabber
{
public:
    // The display must outlive the grabber. keep: how long a segment is kept
    // after a capture.
    explicit X11ScreenGrabber(_XDisplay *display, std::chrono::milliseconds keep = kKeepSegment);
    ~X11ScreenGrabber();
    X11ScreenGrabber(const X11ScreenGrabber &) = delete;
    X11ScreenGrabber &operator=(const X11ScreenGrabber &) = delete;

    // The area (root-window pixels) as an RGB32 image, or a null image when
    // shared memory is not available here; after one refusal it is not
    // tried again. The image shows the segment itself, without a copy.
    QImage grab(const QRect &area);

    bool isAvailable() const { return m_available; }
    // Whether a segment is kept for the next capture (tests, benchmarks).
    bool holdsSegment() const { return bool(m_segment); }

    static constexpr std::chrono::milliseconds kKeepSegment{15000};

private:
    struct Segment;
    std::shared_ptr<Segment> segmentFor(std::size_t bytes);
    void release();
    void giveUp(const QString &why);

    _XDisplay *m_display;
    bool m_available = false;
    // Kept, attached to the server, for the next capture of the same size
    // once no image shows it any more: a fresh segment of 59 MB costs its
    // page faults on both sides every time. Let go after kKeepSegment
    // without a capture, so an idle application does not hold a screenful
    // of pixels (15 MB at 2560x1440).
    std::shared_ptr<Segment> m_segment;
    QTimer m_keep;
};
