#include "ReplaceCommand.h"

#include "Console.h"
#include "SettingsStore.h"

ReplaceCommand::ReplaceCommand(SettingsStore &store) : m_store(store) {}

int ReplaceCommand::run(const QStringList &args)
{
    AppConfig config = m_store.loadAppConfig();
    const QString command = args.value(0);
    if (command == QLatin1String("list") && args.size() == 1) {
        for (const TextReplacement &replacement : config.replacements)
            Console::out(replacement.from + QStringLiteral(" → ") + replacement.to);
        return Console::Success;
    }
    if (command == QLatin1String("add") && args.size() == 3) {
        if (args[1].isEmpty()) {
            Console::err(QStringLiteral("Nothing to replace: FROM is empty; nothing was stored."));
            return Console::UsageError;
        }
        TextReplacements::put(config.replacements, {args[1], args[2]});
        m_store.saveAppConfig(config);
        Console::out(args[1] + QStringLiteral(" → ") + args[2]);
        return Console::Success;
    }
    if (command == QLatin1String("remove") && args.size() == 2) {
        if (!TextReplacements::remove(config.replacements, args[1])) {
            Console::err(QStringLiteral("No replacement of \"%1\"; nothing was changed.").arg(args[1]));
            return Console::Failure;
        }
        m_store.saveAppConfig(config);
        Console::out(QStringLiteral("removed: ") + args[1]);
        return Console::Success;
    }
    Console::err(QStringLiteral("usage: quillwren replace add FROM TO | replace list | replace remove FROM"));
    return Console::UsageError;
}
