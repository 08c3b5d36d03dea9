#include "DataControlClipboard.h"

#include "WaylandDisplay.h"

#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

const zwlr_data_control_source_v1_listener kSourceListener = {&DataControlClipboard::send,
                                                              &DataControlClipboard::cancelled};

// What text is known as, to toolkits new and old (X11's names for XWayland's bridge).
const char *const kTextTypes[] = {"text/plain;charset=utf-8", "text/plain", "UTF8_STRING", "STRING", "TEXT"};

// Writes the whole text, waiting (a little) for a slow reader.
void writeAll(int fd, const QByteArray &bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (count > 0) {
            written += count;
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else if (count < 0 && errno == EAGAIN) {
            pollfd wait{fd, POLLOUT, 0};
            if (poll(&wait, 1, 1000) <= 0)
                return; // a reader that takes nothing for a second gets what it has
        } else {
            return;
        }
    }
}

} // namespace

DataControlClipboard::DataControlClipboard(WaylandDisplay &display) : m_display(display)
{
    if (display.dataControlManager() && display.seat())
        m_control = zwlr_data_control_manager_v1_get_data_control(display.dataControlManager(), display.seat());
}

DataControlClipboard::~DataControlClipboard()
{
    if (m_source)
        zwlr_data_control_source_v1_destroy(m_source);
    if (m_control)
        zwlr_data_control_v1_destroy(m_control);
    m_display.flush();
}

void DataControlClipboard::setText(const QString &text)
{
    if (!m_control)
        return;
    m_text = text.toUtf8();
    zwlr_data_control_source_v1 *source = zwlr_data_control_manager_v1_create_data_source(m_display.dataControlManager());
    zwlr_data_control_source_v1_add_listener(source, &kSourceListener, this);
    for (const char *type : kTextTypes)
        zwlr_data_control_source_v1_offer(source, type);
    zwlr_data_control_v1_set_selection(m_control, source);
    // The previous source is replaced: the compositor cancels it, which
    // destroys it; until then it still serves the old text.
    m_source = source;
    m_display.flush();
}

void DataControlClipboard::send(void *data, zwlr_data_control_source_v1 *source, const char *, int32_t fd)
{
    auto *self = static_cast<DataControlClipboard *>(data);
    // The pipe is the reader's: blocking writes would stall the whole
    // application behind a reader that never reads.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    // A request that reaches a replaced source (its cancel still on the way)
    // gets the newest text: the user pastes what was last put there.
    Q_UNUSED(source);
    writeAll(fd, self->m_text);
    ::close(fd);
}

void DataControlClipboard::cancelled(void *data, zwlr_data_control_source_v1 *source)
{
    auto *self = static_cast<DataControlClipboard *>(data);
    if (source == self->m_source)
        self->m_source = nullptr;
    zwlr_data_control_source_v1_destroy(source);
}
