#pragma once

#include "AppMode.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class CaptionView;
class DesktopBackend;
class FloatingBallWindowManager;
class NonActivatingWindow;
class SpeechRecognizer;

// The words heard so far, beside the ball, while a dictation or a question
// is recorded (when the user turned it on): each result the recogniser
// publishes is drawn as it comes, with nothing running in between. It
// follows the ball: a window of the same kind, shown only while the ball is
// and there are words, placed beside it (CaptionPlacement) off the focused
// field's caret where the desktop tells it. After a dictation's clean-up the
// caption shows what was typed for a moment before it goes, with the ball.
// No window is made while the caption is off.
class LiveCaption : public QObject
{
    Q_OBJECT

public:
    // How long the typed text stays after a cleaned-up dictation: long
    // enough to read a line at a glance.
    static constexpr std::chrono::milliseconds kTypedShownFor{1500};

    // All must outlive it. enabled is asked at each take's start.
    LiveCaption(FloatingBallWindowManager &ball, SpeechRecognizer &recognizer, DesktopBackend &desktop,
                std::function<bool()> enabled, QObject *parent = nullptr);
    ~LiveCaption() override;

    // The dictation's clean-up has ended: with the caption on, its ball stays
    // (still) until typedText() or runEnded(); otherwise it goes.
    void cleanupEnded();
    // What was typed: shown for kTypedShownFor, then the ball goes with it.
    void typedText(const QString &text);
    // The run is over: a ball still held for typed text that never came goes.
    void runEnded();

    // The window, once made; and its drawing.
    QWidget *window() const;
    CaptionView *view() const;

private:
    void onBallShown(AppMode mode, bool newTake);
    void setText(const QString &text);
    void ensureWindow();
    void place();
    void hide();
    void releaseBall();
    void askCaret();

    FloatingBallWindowManager &m_ball;
    SpeechRecognizer &m_recognizer;
    DesktopBackend &m_desktop;
    std::function<bool()> m_enabled;
    std::unique_ptr<NonActivatingWindow> m_window;
    QPointer<CaptionView> m_view;
    // This take is captioned (on, and a mode with speech).
    bool m_captioning = false;
    // The ball is held still after the clean-up, for the typed text.
    bool m_holdingBall = false;
    QTimer m_typedShown;
    std::optional<QRect> m_caret;
    // Each take's number: a caret found for an earlier take is not used.
    quint64 m_take = 0;
};
