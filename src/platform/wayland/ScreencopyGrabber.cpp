#include "ScreencopyGrabber.h"

#include "WaylandDisplay.h"

#include "wlr-screencopy-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <sys/mman.h>
#include <unistd.h>

namespace {

struct Frame
{
    uint32_t width = 0, height = 0, format = 0, stride = 0;
    bool described = false, ready = false, failed = false, yInverted = false;
};

void onBuffer(void *data, zwlr_screencopy_frame_v1 *, uint32_t format, uint32_t width, uint32_t height, uint32_t stride)
{
    auto *frame = static_cast<Frame *>(data);
    *frame = {width, height, format, stride, true, false, false, false};
}
void onFlags(void *data, zwlr_screencopy_frame_v1 *, uint32_t flags)
{
    static_cast<Frame *>(data)->yInverted = flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT;
}
void onReady(void *data, zwlr_screencopy_frame_v1 *, uint32_t, uint32_t, uint32_t)
{
    static_cast<Frame *>(data)->ready = true;
}
void onFailed(void *data, zwlr_screencopy_frame_v1 *)
{
    static_cast<Frame *>(data)->failed = true;
}

const zwlr_screencopy_frame_v1_listener kFrameListener = {onBuffer, onFlags, onReady, onFailed};

} // namespace

ScreencopyGrabber::ScreencopyGrabber(WaylandDisplay &display) : m_display(display) {}

bool ScreencopyGrabber::isAvailable() const
{
    return m_display.screencopyManager() && m_display.shm() && !m_display.outputs().isEmpty();
}

QImage ScreencopyGrabber::grab(wl_output *output, QString *error, int timeoutMs)
{
    if (!isAvailable() || !output) {
        *error = QStringLiteral("the compositor offers no screencopy");
        return {};
    }
    Frame state;
    zwlr_screencopy_frame_v1 *frame = zwlr_screencopy_manager_v1_capture_output(m_display.screencopyManager(), 0, output);
    zwlr_screencopy_frame_v1_add_listener(frame, &kFrameListener, &state);
    m_display.flush();
    if (!m_display.dispatchUntil([&] { return state.described || state.failed; }, timeoutMs) || state.failed
        || state.width == 0 || state.height == 0) {
        zwlr_screencopy_frame_v1_destroy(frame);
        *error = QStringLiteral("the compositor did not describe the frame");
        return {};
    }
    // Only the 32-bit formats every compositor offers: ARGB8888 and XRGB8888
    // (wl_shm's 0 and 1) are QImage's ARGB32 and RGB32 in memory.
    if (state.format != WL_SHM_FORMAT_ARGB8888 && state.format != WL_SHM_FORMAT_XRGB8888) {
        zwlr_screencopy_frame_v1_destroy(frame);
        *error = QStringLiteral("unsupported pixel format 0x%1").arg(state.format, 0, 16);
        return {};
    }
    const size_t size = size_t(state.stride) * state.height;
    const int fd = memfd_create("quillwren-screencopy", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, off_t(size)) != 0) {
        if (fd >= 0)
            close(fd);
        zwlr_screencopy_frame_v1_destroy(frame);
        *error = QStringLiteral("no memory for the frame");
        return {};
    }
    void *pixels = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    wl_shm_pool *pool = wl_shm_create_pool(m_display.shm(), fd, int32_t(size));
    wl_buffer *buffer = wl_shm_pool_create_buffer(pool, 0, int32_t(state.width), int32_t(state.height),
                                                  int32_t(state.stride), state.format);
    zwlr_screencopy_frame_v1_copy(frame, buffer);
    const bool copied = m_display.dispatchUntil([&] { return state.ready || state.failed; }, timeoutMs) && state.ready;
    QImage image;
    if (copied && pixels != MAP_FAILED) {
        const QImage view(static_cast<const uchar *>(pixels), int(state.width), int(state.height), int(state.stride),
                          state.format == WL_SHM_FORMAT_ARGB8888 ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        // A deep copy: the buffer is unmapped below (converting to the format
        // it already has would share it).
        image = view.convertToFormat(QImage::Format_RGB32).copy();
        if (state.yInverted)
            image = image.mirrored(false, true);
    } else {
        *error = QStringLiteral("the compositor did not copy the frame");
    }
    wl_buffer_destroy(buffer);
    wl_shm_pool_destroy(pool);
    zwlr_screencopy_frame_v1_destroy(frame);
    m_display.flush();
    if (pixels != MAP_FAILED)
        munmap(pixels, size);
    close(fd);
    return image;
}
