#pragma once

#include "AppMode.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>

#include <optional>

class DesktopBackend;
class FloatingBallView;
class HotkeyMonitorService;
class NonActivatingWindow;
class SpeechRecognizer;

// Shows the floating ball at the bottom centre of the primary screen while a
// mode's key is held: it follows the hotkey monitor's current mode (shown on
// every mode published, hidden on none) and mirrors the recogniser's
// recording flag and level for the ball to draw. The window never takes the
// focus or the pointer, so the user goes on typing where they were.
class FloatingBallWindowManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(std::optional<AppMode> currentMode READ currentMode NOTIFY currentModeChanged)
    Q_PROPERTY(bool isAnimating READ isAnimating NOTIFY isAnimatingChanged)
    Q_PROPERTY(float audioLevel READ audioLevel NOTIFY audioLevelChanged)
    Q_PROPERTY(bool isRecording READ isRecording NOTIFY isRecordingChanged)

public:
    static constexpr QSize windowSize{280, 100};
    static constexpr int bottomMargin = 70;

    // Where the window goes on a screen of this geometry (desktop
    // coordinates, y downwards): centred, its bottom edge bottomMargin above
    // the screen's bottom.
    static QPoint windowOrigin(const QRect &screenGeometry);

    // The desktop says whether a compositor runs and keeps the window on
    // every virtual desktop.
    FloatingBallWindowManager(HotkeyMonitorService &monitor, SpeechRecognizer &recognizer, DesktopBackend &desktop,
                              QObject *parent = nullptr);
    ~FloatingBallWindowManager() override;

    std::optional<AppMode> currentMode() const { return m_currentMode; }
    bool isAnimating() const { return m_isAnimating; }
    float audioLevel() const { return m_audioLevel; }
    bool isRecording() const { return m_isRecording; }

    // A run's later step the user waits for after the key was let go (the
    // dictation's clean-up): the mode's ball comes back, turning, until it
    // ends (none). While a take's ball is up, that ball stays as it is.
    // Not turning: the ball only stays up (for the caption beside it).
    void setProcessing(std::optional<AppMode> mode, bool turning = true);
    bool isProcessing() const { return m_processing.has_value(); }

    // The window, once made (the first show makes it); and the ball it shows.
    QWidget *window() const;
    FloatingBallView *ballView() const;
    // Where the ball (and its meter) is drawn, in desktop coordinates: the
    // middle band of the window.
    QRect ballArea() const;
    static constexpr int kBallAreaHeight = 48;

Q_SIGNALS:
    void currentModeChanged(std::optional<AppMode> mode);
    void isAnimatingChanged(bool animating);
    void audioLevelChanged(float level);
    void isRecordingChanged(bool recording);
    // The ball came on screen: for a take of the mode (newTake), or for a
    // step after one (setProcessing). And it left the screen.
    void ballShown(AppMode mode, bool newTake);
    void ballHidden();

private:
    void show(AppMode mode);
    void hide();
    // The ball of the mode on screen, or none.
    void showBall(AppMode mode, bool newTake);
    void hideBall();
    void position();
    // The window fitting the desktop as it is now: translucent where a
    // compositor runs, shaped where none does.
    void prepareWindow();

    void setCurrentMode(std::optional<AppMode> mode);
    void setAnimating(bool animating);
    void setAudioLevel(float level);
    void setRecording(bool recording);

    DesktopBackend &m_desktop;
    std::optional<AppMode> m_currentMode;
    bool m_isAnimating = false;
    float m_audioLevel = 0;
    bool m_isRecording = false;
    // The mode whose later step is under way, if any.
    std::optional<AppMode> m_processing;
    bool m_processingTurns = true;
    std::unique_ptr<NonActivatingWindow> m_window;
    QPointer<FloatingBallView> m_view;
};
