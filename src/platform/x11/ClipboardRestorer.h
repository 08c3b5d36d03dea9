#pragma once

#include <QAbstractNativeEventFilter>
#include <QMimeData>

#include <QCoroTask>

#include <chrono>
#include <memory>

// Gives the user's clipboard back after a paste: what it held (every
// format: text, HTML, images, files) is copied before our text takes its
// place, and put back once the target application has fetched our text, as
// the X server's selection request from it shows, or after a bounded wait;
// and only if the clipboard still holds our text (the user may have copied
// something else meanwhile).
class ClipboardRestorer final : public QAbstractNativeEventFilter
{
public:
    // After the request, a moment for the answer to reach the target.
    static constexpr std::chrono::milliseconds kAfterRequest{150};
    static constexpr std::chrono::milliseconds kLongestWait{2000};

    // clipboard, targets: the server's CLIPBOARD and TARGETS atoms.
    ClipboardRestorer(unsigned long clipboardAtom, unsigned long targetsAtom);
    ~ClipboardRestorer() override;

    // Copies what the clipboard holds now.
    void save();
    // Waits for the target's request (or the longest wait), then puts the
    // saved content back if the clipboard still holds pastedText. True when
    // it was put back.
    QCoro::Task<bool> restoreAfterPaste(QString pastedText);

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    unsigned long m_clipboardAtom;
    unsigned long m_targetsAtom;
    std::unique_ptr<QMimeData> m_saved;
    bool m_haveSaved = false;
    bool m_requested = false;
};
