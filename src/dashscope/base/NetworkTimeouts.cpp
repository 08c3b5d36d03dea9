#include "NetworkTimeouts.h"

#include <cmath>

namespace {
std::chrono::milliseconds times(std::chrono::milliseconds wait, double factor)
{
    return std::chrono::milliseconds(std::max<qint64>(1, std::llround(double(wait.count()) * factor)));
}
} // namespace

NetworkTimeouts NetworkTimeouts::scaled(double factor) const
{
    return {times(httpInactivity, factor), times(synthesis, factor), times(recognitionStart, factor),
            times(recognitionFinish, factor), times(serviceCheck, factor), times(transcriptionBase, factor)};
}

std::optional<double> NetworkTimeouts::parseScale(const QString &text)
{
    bool ok = false;
    const double factor = text.trimmed().toDouble(&ok);
    // Beyond 100 the waits would outlast any user; a factor that small or
    // that large is a typo.
    if (!ok || !std::isfinite(factor) || factor <= 0 || factor > 100)
        return std::nullopt;
    return factor;
}

NetworkTimeouts NetworkTimeouts::fromEnvironment(QString *problem)
{
    const QString text = qEnvironmentVariable("QUILLWREN_TIMEOUT_SCALE");
    if (text.isEmpty())
        return {};
    const auto factor = parseScale(text);
    if (!factor) {
        if (problem)
            *problem = QStringLiteral("QUILLWREN_TIMEOUT_SCALE=%1 is not a number above 0 and up to 100; the usual waits apply")
                           .arg(text);
        return {};
    }
    return NetworkTimeouts().scaled(*factor);
}
