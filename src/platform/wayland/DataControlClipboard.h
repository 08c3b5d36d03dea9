#pragma once

#include <QByteArray>
#include <QString>

class WaylandDisplay;
struct zwlr_data_control_source_v1;
struct zwlr_data_control_v1;

// The Wayland clipboard set without a window or the focus, through the
// data-control protocol (wlroots compositors, KWin): native windows paste
// what this process offers, and XWayland's windows through the compositor's
// bridge. The text is served until another client takes the clipboard.
class DataControlClipboard final
{
public:
    explicit DataControlClipboard(WaylandDisplay &display);
    ~DataControlClipboard();
    DataControlClipboard(const DataControlClipboard &) = delete;
    DataControlClipboard &operator=(const DataControlClipboard &) = delete;

    // Whether the compositor offers data-control.
    bool isAvailable() const { return m_control != nullptr; }
    // Offers the text as the seat's clipboard.
    void setText(const QString &text);
    // Whether this process still owns the clipboard.
    bool ownsSelection() const { return m_source != nullptr; }

    // The source's listener.
    static void send(void *data, zwlr_data_control_source_v1 *source, const char *mimeType, int32_t fd);
    static void cancelled(void *data, zwlr_data_control_source_v1 *source);

private:
    WaylandDisplay &m_display;
    zwlr_data_control_v1 *m_control = nullptr;
    zwlr_data_control_source_v1 *m_source = nullptr;
    QByteArray m_text;
};
