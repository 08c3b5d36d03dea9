#include "ClipboardRestorer.h"

#include "Delay.h"
#include "Log.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>

#include <xcb/xproto.h>

ClipboardRestorer::ClipboardRestorer(unsigned long clipboardAtom, unsigned long targetsAtom)
    : m_clipboardAtom(clipboardAtom), m_targetsAtom(targetsAtom)
{
    QCoreApplication::instance()->installNativeEventFilter(this);
}

ClipboardRestorer::~ClipboardRestorer()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool ClipboardRestorer::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_SELECTION_REQUEST)
        return false;
    const auto *request = static_cast<const xcb_selection_request_event_t *>(message);
    // A question for the list of formats is not yet the fetch of the text.
    if (request->selection == m_clipboardAtom && request->target != m_targetsAtom)
        m_requested = true;
    return false; // Qt answers it as always
}

void ClipboardRestorer::save()
{
    m_saved.reset();
    m_haveSaved = true;
    const QMimeData *now = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (!now || now->formats().isEmpty())
        return; // an empty clipboard is given back empty
    m_saved = std::make_unique<QMimeData>();
    for (const QString &format : now->formats())
        m_saved->setData(format, now->data(format));
}

QCoro::Task<bool> ClipboardRestorer::restoreAfterPaste(QString pastedText)
{
    if (!m_haveSaved)
        co_return false;
    m_requested = false;
    QElapsedTimer waited;
    waited.start();
    while (!m_requested && waited.elapsed() < kLongestWait.count())
        co_await delay(std::chrono::milliseconds(20));
    if (m_requested)
        co_await delay(kAfterRequest);
    m_haveSaved = false;
    QClipboard *clipboard = QGuiApplication::clipboard();
    // Something else was copied meanwhile: that is what the user wants now.
    if (!clipboard->ownsClipboard() || clipboard->text(QClipboard::Clipboard) != pastedText) {
        m_saved.reset();
        co_return false;
    }
    if (m_saved)
        clipboard->setMimeData(m_saved.release(), QClipboard::Clipboard);
    else
        clipboard->clear(QClipboard::Clipboard);
    Log::line(m_requested ? QStringLiteral("📋 [剪贴板] 目标已取走文本，剪贴板原内容已恢复")
                          : QStringLiteral("📋 [剪贴板] 等待超时，剪贴板原内容已恢复"));
    co_return true;
}
