#pragma once

#include "Scheduler.h"
#include "ShortcutConfig.h"

#include <chrono>
#include <functional>
#include <memory>

class KeyEventSource;

// Starting the desktop-wide key listener: a first try a second after
// start-up, up to three while the desktop does not let us listen, and the
// application's own key events as the fallback when the listener cannot
// start. Each outcome is reported as it happens.
class KeyListenerStartup
{
public:
    enum class Outcome { Retrying, Tapping, LocalFallback, GivenUp };

    static constexpr std::chrono::milliseconds kFirstDelay{1000};
    static constexpr std::chrono::milliseconds kRetryDelay{1000};
    static constexpr int kMaxAttempts = 3;

    // The sources, the scheduler and the configuration (printed once the
    // listener runs) must outlive it. The first try is scheduled at once.
    KeyListenerStartup(KeyEventSource &source, KeyEventSource &localFallback, Scheduler &scheduler,
                       const ShortcutConfig &config, std::function<void(Outcome)> report);

    // Starts the listener now, without the permission check.
    void start();
    void stop();
    void printConfig() const;

private:
    void attempt(int attempt);

    KeyEventSource &m_source;
    KeyEventSource &m_localFallback;
    Scheduler &m_scheduler;
    const ShortcutConfig &m_config;
    std::function<void(Outcome)> m_report;
    std::unique_ptr<ScheduledTimer> m_timer;
};
