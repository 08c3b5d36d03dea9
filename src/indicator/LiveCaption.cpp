#include "LiveCaption.h"

#include "CaptionPlacement.h"
#include "CaptionView.h"
#include "DesktopBackend.h"
#include "FloatingBallWindowManager.h"
#include "NonActivatingWindow.h"
#include "SpeechRecognizer.h"

#include <QGuiApplication>
#include <QScreen>

#include <QCoroTask>

LiveCaption::LiveCaption(FloatingBallWindowManager &ball, SpeechRecognizer &recognizer, DesktopBackend &desktop,
                         std::function<bool()> enabled, QObject *parent)
    : QObject(parent), m_ball(ball), m_recognizer(recognizer), m_desktop(desktop), m_enabled(std::move(enabled))
{
    m_typedShown.setSingleShot(true);
    m_typedShown.setInterval(kTypedShownFor);
    connect(&m_typedShown, &QTimer::timeout, this, &LiveCaption::releaseBall);
    connect(&ball, &FloatingBallWindowManager::ballShown, this, &LiveCaption::onBallShown);
    connect(&ball, &FloatingBallWindowManager::ballHidden, this, &LiveCaption::hide);
    connect(&recognizer, &SpeechRecognizer::currentTranscriptChanged, this, [this](const QString &text) {
        if (m_captioning && m_ball.currentMode())
            setText(text);
    });
}

LiveCaption::~LiveCaption() = default;

QWidget *LiveCaption::window() const
{
    return m_window.get();
}

CaptionView *LiveCaption::view() const
{
    return m_view;
}

void LiveCaption::onBallShown(AppMode mode, bool newTake)
{
    if (newTake) {
        ++m_take;
        // A ball held for the last take's typed text gives way to this one.
        if (m_holdingBall) {
            m_typedShown.stop();
            m_holdingBall = false;
            m_ball.setProcessing(std::nullopt);
        }
        m_captioning = (mode == AppMode::VoiceInput || mode == AppMode::ChatAssistant) && m_enabled && m_enabled();
        hide();
        if (!m_captioning)
            return;
        ensureWindow();
        m_view->reset();
        m_caret.reset();
        askCaret();
        // Nothing heard yet: the box waits for the first words.
        return;
    }
    // The ball back for the clean-up: the words it works on.
    if (m_captioning && mode == AppMode::VoiceInput)
        setText(m_recognizer.currentTranscript());
}

void LiveCaption::setText(const QString &text)
{
    if (!m_view)
        return;
    m_view->setText(text);
    if (text.trimmed().isEmpty()) {
        m_window->hide();
        return;
    }
    place();
    if (!m_window->isVisible()) {
        m_window->show();
        m_window->raise();
        m_desktop.keepOnAllDesktops(m_window->winId());
    }
}

void LiveCaption::cleanupEnded()
{
    if (m_captioning && m_view && !m_view->text().isEmpty()) {
        m_holdingBall = true;
        m_ball.setProcessing(AppMode::VoiceInput, false);
        return;
    }
    m_ball.setProcessing(std::nullopt);
}

void LiveCaption::typedText(const QString &text)
{
    if (!m_holdingBall || m_typedShown.isActive())
        return;
    if (text.trimmed().isEmpty()) {
        releaseBall();
        return;
    }
    setText(text);
    m_typedShown.start();
}

void LiveCaption::runEnded()
{
    if (m_holdingBall && !m_typedShown.isActive())
        releaseBall();
}

void LiveCaption::releaseBall()
{
    if (!std::exchange(m_holdingBall, false))
        return;
    m_ball.setProcessing(std::nullopt);
}

void LiveCaption::ensureWindow()
{
    const bool translucent = m_desktop.hasCompositor();
    if (m_window && m_window->isTranslucent() == translucent)
        return;
    // Translucency is chosen when the native window is made, as for the ball.
    m_window = std::make_unique<NonActivatingWindow>(translucent, m_desktop.indicatorBypassesWindowManager());
    m_window->setWindowTitle(QStringLiteral("Quillwren caption"));
    m_window->setObjectName(QStringLiteral("quillwrenCaption"));
    auto *view = new CaptionView(m_window.get());
    m_view = view;
    view->setOpaque(!translucent);
    NonActivatingWindow *window = m_window.get();
    connect(view, &CaptionView::boxSizeChanged, this, [this, window, view] {
        window->setShape(view->shape());
        if (window->isVisible())
            place();
    });
    window->setShape(view->shape());
}

void LiveCaption::place()
{
    const QRect ball = m_ball.ballArea();
    QScreen *screen = QGuiApplication::screenAt(ball.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen || !m_view)
        return;
    const QRect where = CaptionPlacement::place(ball, m_view->boxSize(), screen->geometry(), m_caret);
    m_view->setGeometry(QRect(QPoint(0, 0), where.size()));
    m_window->setGeometry(where);
}

void LiveCaption::hide()
{
    if (m_window)
        m_window->hide();
}

void LiveCaption::askCaret()
{
    const quint64 take = m_take;
    QPointer<LiveCaption> self(this);
    [](QPointer<LiveCaption> self, quint64 take, DesktopBackend &desktop) -> QCoro::Task<> {
        const std::optional<QRect> caret = co_await desktop.caretRect();
        if (!self || self->m_take != take || !caret)
            co_return;
        self->m_caret = caret;
        if (self->m_window && self->m_window->isVisible())
            self->place();
    }(self, take, m_desktop);
}
