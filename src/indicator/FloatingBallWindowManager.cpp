#include "FloatingBallWindowManager.h"

#include "DesktopBackend.h"
#include "FloatingBallView.h"
#include "HotkeyMonitorService.h"
#include "NonActivatingWindow.h"
#include "SpeechRecognizer.h"

#include <QGuiApplication>
#include <QScreen>

QPoint FloatingBallWindowManager::windowOrigin(const QRect &screenGeometry)
{
    return {screenGeometry.x() + (screenGeometry.width() - windowSize.width()) / 2,
            screenGeometry.y() + screenGeometry.height() - bottomMargin - windowSize.height()};
}

FloatingBallWindowManager::FloatingBallWindowManager(HotkeyMonitorService &monitor, SpeechRecognizer &recognizer,
                                                     DesktopBackend &desktop, QObject *parent)
    : QObject(parent), m_desktop(desktop)
{
    prepareWindow();
    position();

    connect(&monitor, &HotkeyMonitorService::currentModeChanged, this, [this](std::optional<AppMode> mode) {
        if (mode)
            show(*mode);
        else
            hide();
    });
    // Each take gets a new ball (show), which starts unlocked.
    connect(&monitor, &HotkeyMonitorService::handsFreeModeChanged, this, [this](std::optional<AppMode> mode) {
        if (m_view)
            m_view->setLocked(mode.has_value());
    });
    connect(&monitor, &HotkeyMonitorService::handsFreeSecondsLeft, this, [this](int seconds) {
        if (m_view)
            m_view->setSecondsLeft(seconds);
    });
    connect(&recognizer, &SpeechRecognizer::isRecordingChanged, this, &FloatingBallWindowManager::setRecording);
    connect(&recognizer, &SpeechRecognizer::audioLevelChanged, this, &FloatingBallWindowManager::setAudioLevel);

    // What the monitor and the recogniser show now, once.
    if (const std::optional<AppMode> mode = monitor.currentMode())
        show(*mode);
    else
        hide();
    setRecording(recognizer.isRecording());
    setAudioLevel(recognizer.audioLevel());
}

FloatingBallWindowManager::~FloatingBallWindowManager() = default;

QWidget *FloatingBallWindowManager::window() const
{
    return m_window.get();
}

FloatingBallView *FloatingBallWindowManager::ballView() const
{
    return m_view;
}

QRect FloatingBallWindowManager::ballArea() const
{
    if (!m_window)
        return {};
    const QRect frame = m_window->geometry();
    return {frame.x(), frame.y() + (frame.height() - kBallAreaHeight) / 2, frame.width(), kBallAreaHeight};
}

void FloatingBallWindowManager::prepareWindow()
{
    const bool translucent = m_desktop.hasCompositor();
    if (m_window && m_window->isTranslucent() == translucent)
        return;
    // Translucency is chosen when the native window is made: a change of
    // compositor needs a new window.
    delete m_view;
    m_window = std::make_unique<NonActivatingWindow>(translucent, m_desktop.indicatorBypassesWindowManager());
    m_window->resize(windowSize);
}

void FloatingBallWindowManager::position()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen && !QGuiApplication::screens().isEmpty())
        screen = QGuiApplication::screens().constFirst();
    if (!screen || !m_window)
        return;
    m_window->move(windowOrigin(screen->geometry()));
}

void FloatingBallWindowManager::show(AppMode mode)
{
    setCurrentMode(mode);
    setRecording(false);
    showBall(mode, true);
    setAnimating(true);
}

void FloatingBallWindowManager::hide()
{
    setCurrentMode(std::nullopt);
    setAudioLevel(0);
    setAnimating(false);
    setRecording(false);
    hideBall();
    // A clean-up that outlasted the key shows its own ball again.
    if (m_processing)
        setProcessing(m_processing, m_processingTurns);
}

void FloatingBallWindowManager::setProcessing(std::optional<AppMode> mode, bool turning)
{
    m_processing = mode;
    m_processingTurns = turning;
    if (m_currentMode)
        return;
    if (!mode) {
        hideBall();
        return;
    }
    // Already up for this step: only the arc changes.
    if (!m_view || m_view->mode() != *mode || !m_window->isVisible())
        showBall(*mode, false);
    m_view->setProcessing(turning);
}

void FloatingBallWindowManager::showBall(AppMode mode, bool newTake)
{
    prepareWindow();

    // A new ball for every show: it starts at rest, whatever the last one did.
    delete m_view;
    auto *view = new FloatingBallView(mode, FloatingBallView::defaultBallSize, m_window.get());
    m_view = view;
    view->setGeometry(m_window->rect());
    view->setOpaque(!m_window->isTranslucent());
    view->setAudioLevel(m_audioLevel);
    view->setAnimating(true);
    connect(this, &FloatingBallWindowManager::audioLevelChanged, view, &FloatingBallView::setAudioLevel);
    connect(this, &FloatingBallWindowManager::isRecordingChanged, view, &FloatingBallView::setRecording);
    connect(this, &FloatingBallWindowManager::isAnimatingChanged, view, &FloatingBallView::setAnimating);
    NonActivatingWindow *window = m_window.get();
    connect(view, &FloatingBallView::shapeChanged, window, [window, view] { window->setShape(view->shape()); });
    window->setShape(view->shape());
    view->show();

    position(); // the screens may have changed since the last show
    window->show();
    window->raise();
    m_desktop.keepOnAllDesktops(window->winId());
    Q_EMIT ballShown(mode, newTake);
}

void FloatingBallWindowManager::hideBall()
{
    const bool wasShown = m_window && m_window->isVisible();
    if (m_window)
        m_window->hide();
    // Nothing of the ball lives on while hidden: no timer, no repaint.
    delete m_view;
    if (wasShown)
        Q_EMIT ballHidden();
}

void FloatingBallWindowManager::setCurrentMode(std::optional<AppMode> mode)
{
    if (m_currentMode == mode)
        return;
    m_currentMode = mode;
    Q_EMIT currentModeChanged(mode);
}

void FloatingBallWindowManager::setAnimating(bool animating)
{
    if (std::exchange(m_isAnimating, animating) != animating)
        Q_EMIT isAnimatingChanged(animating);
}

void FloatingBallWindowManager::setAudioLevel(float level)
{
    if (std::exchange(m_audioLevel, level) != level)
        Q_EMIT audioLevelChanged(level);
}

void FloatingBallWindowManager::setRecording(bool recording)
{
    if (std::exchange(m_isRecording, recording) != recording)
        Q_EMIT isRecordingChanged(recording);
}
