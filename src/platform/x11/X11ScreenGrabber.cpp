#include "X11ScreenGrabber.h"

#include "Log.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

struct X11ScreenGrabber::Segment
{
    XShmSegmentInfo info{};
    std::size_t bytes = 0;

    ~Segment()
    {
        if (info.shmaddr)
            shmdt(info.shmaddr);
    }
};

namespace {
bool isRgb32(const XImage *image)
{
    constexpr int hostOrder = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? LSBFirst : MSBFirst;
    return image->bits_per_pixel == 32 && image->byte_order == hostOrder && image->red_mask == 0xff0000
        && image->green_mask == 0xff00 && image->blue_mask == 0xff;
}
} // namespace

X11ScreenGrabber::X11ScreenGrabber(Display *display, std::chrono::milliseconds keep) : m_display(display)
{
    int major = 0, minor = 0;
    Bool pixmaps = False;
    m_available = display && XShmQueryVersion(display, &major, &minor, &pixmaps);
    m_keep.setSingleShot(true);
    m_keep.setInterval(keep);
    m_keep.callOnTimeout([this] { release(); });
}

X11ScreenGrabber::~X11ScreenGrabber()
{
    release();
}

void X11ScreenGrabber::release()
{
    // The server lets go now; our mapping goes with the last image showing it.
    if (auto segment = std::exchange(m_segment, {})) {
        XShmDetach(m_display, &segment->info);
        XSync(m_display, False);
    }
}

void X11ScreenGrabber::giveUp(const QString &why)
{
    Log::line(QStringLiteral("ℹ️ [截屏] %1，改用普通方式读取").arg(why));
    release();
    m_available = false;
}

std::shared_ptr<X11ScreenGrabber::Segment> X11ScreenGrabber::segmentFor(std::size_t bytes)
{
    if (m_segment && m_segment.use_count() == 1 && m_segment->bytes == bytes)
        return m_segment;
    release();
    auto segment = std::make_shared<Segment>();
    segment->bytes = bytes;
    segment->info.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (segment->info.shmid < 0)
        return {};
    void *address = shmat(segment->info.shmid, nullptr, 0);
    if (address == reinterpret_cast<void *>(-1)) {
        shmctl(segment->info.shmid, IPC_RMID, nullptr);
        return {};
    }
    segment->info.shmaddr = static_cast<char *>(address);
    segment->info.readOnly = False;
    // The server attaches at XSync; marking the segment removed after that
    // frees it once both sides have let go, even if this process dies.
    const bool attached = XShmAttach(m_display, &segment->info);
    XSync(m_display, False);
    shmctl(segment->info.shmid, IPC_RMID, nullptr);
    if (!attached)
        return {};
    m_segment = segment;
    return segment;
}

QImage X11ScreenGrabber::grab(const QRect &wanted)
{
    if (!m_available)
        return {};
    const int screen = DefaultScreen(m_display);
    const Window root = RootWindow(m_display, screen);
    const QRect area = wanted & QRect(0, 0, DisplayWidth(m_display, screen), DisplayHeight(m_display, screen));
    if (area.isEmpty())
        return {};
    XShmSegmentInfo layout{};
    XImage *image = XShmCreateImage(m_display, DefaultVisual(m_display, screen), DefaultDepth(m_display, screen),
                                    ZPixmap, nullptr, &layout, unsigned(area.width()), unsigned(area.height()));
    if (!image)
        return {};
    if (!isRgb32(image)) {
        XDestroyImage(image);
        giveUp(QStringLiteral("屏幕像素格式不是 32 位 RGB"));
        return {};
    }
    const int bytesPerLine = image->bytes_per_line;
    const auto segment = segmentFor(std::size_t(bytesPerLine) * std::size_t(area.height()));
    if (!segment) {
        XDestroyImage(image);
        giveUp(QStringLiteral("无法建立共享内存"));
        return {};
    }
    image->data = segment->info.shmaddr;
    image->obdata = reinterpret_cast<char *>(&segment->info);
    const bool read = XShmGetImage(m_display, root, image, area.x(), area.y(), AllPlanes);
    image->data = nullptr;
    XDestroyImage(image);
    if (!read) {
        // A server that cannot map our memory (another machine) refuses
        // every time.
        giveUp(QStringLiteral("X 服务器无法使用共享内存"));
        return {};
    }
    m_keep.start();
    // The image keeps the segment mapped for as long as it (or a copy) lives.
    auto *owner = new std::shared_ptr<Segment>(segment);
    return QImage(reinterpret_cast<uchar *>(segment->info.shmaddr), area.width(), area.height(), bytesPerLine,
                  QImage::Format_RGB32, [](void *p) { delete static_cast<std::shared_ptr<Segment> *>(p); }, owner);
}
