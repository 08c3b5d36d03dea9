#include "DoctorCommand.h"

#include "Application.h"
#include "CapabilityTexts.h"
#include "Console.h"
#include "InstanceCommands.h"

namespace {
// A line of the form CapabilityStatus::line() gives, for a capability that works.
bool worksIn(const QStringList &lines, const QString &capability)
{
    for (const QString &line : lines) {
        if (line.startsWith(capability + QStringLiteral(": ")) && line.endsWith(QStringLiteral(" — works")))
            return true;
    }
    return false;
}
} // namespace

DoctorCommand::DoctorCommand(Application &application) : m_application(application) {}

int DoctorCommand::run(const QStringList &args)
{
    if (!args.isEmpty()) {
        Console::err(QStringLiteral("usage: quillwren doctor"));
        return Console::UsageError;
    }
    Console::out(QStringLiteral("session: ") + m_application.session().describe());
    const QStringList own = capabilityLines(m_application.capabilities());
    for (const QString &line : own)
        Console::out(line);

    // The keys' bindings are known to work only once one reached the instance.
    const std::optional<QStringList> instance = InstanceCommands::instanceCapabilities();
    if (instance) {
        Console::out(QStringLiteral("the running Quillwren uses:"));
        for (const QString &line : *instance)
            Console::out(QStringLiteral("  ") + line);
    } else {
        Console::out(QStringLiteral("Quillwren is not running in this session (`quillwren run` starts it)"));
    }
    const bool keys = worksIn(own, CapabilityTexts::kModeKeys) || (instance && worksIn(*instance, CapabilityTexts::kModeKeys));
    const bool paste = worksIn(own, CapabilityTexts::kPaste);
    return keys && paste ? Console::Success : Console::Failure;
}
