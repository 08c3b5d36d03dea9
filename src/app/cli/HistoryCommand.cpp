#include "HistoryCommand.h"

#include "Console.h"
#include "TakeHistory.h"

namespace {
constexpr int kDefaultCount = 20;

QString usageText()
{
    return QStringLiteral("usage: quillwren history [-n N] [--json] | quillwren history --raw N | quillwren history clear");
}
} // namespace

HistoryCommand::HistoryCommand(TakeHistory &history) : m_history(history) {}

int HistoryCommand::run(const QStringList &args)
{
    if (args == QStringList{QStringLiteral("clear")}) {
        QString error;
        if (!m_history.clear(&error)) {
            Console::err(QStringLiteral("The history could not be cleared: ") + error);
            return Console::Failure;
        }
        Console::out(QStringLiteral("The history is empty."));
        return Console::Success;
    }
    if (args.size() == 2 && args.first() == QLatin1String("--raw"))
        return printRaw(args.at(1));
    int count = kDefaultCount;
    bool json = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        bool ok = false;
        if (args[i] == QLatin1String("--json")) {
            json = true;
        } else if (args[i] == QLatin1String("-n") && i + 1 < args.size() && (count = args[i + 1].toInt(&ok), ok)
                   && count > 0) {
            ++i;
        } else {
            Console::err(usageText());
            return Console::UsageError;
        }
    }
    int number = 0;
    for (const TakeRecord &record : m_history.newest(count)) {
        ++number;
        if (json) {
            Console::out(QString::fromUtf8(record.toJson()));
            continue;
        }
        // Numbered as `quillwren retry N` takes them.
        QString line = QStringLiteral("%1  ").arg(number) + QStringLiteral("%1  %2  %3  %4").arg(record.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                                          AppModes::rawValue(record.mode), record.ending, record.text);
        if (!record.raw.isEmpty())
            line += QStringLiteral("  (heard: %1)").arg(record.raw);
        if (!record.answer.isEmpty())
            line += QStringLiteral("  →  ") + record.answer;
        if (!record.audio.isEmpty())
            line += QStringLiteral("  [audio %1 s]").arg(double(record.audioMs) / 1000, 0, 'f', 1);
        Console::out(line);
    }
    return Console::Success;
}

int HistoryCommand::printRaw(const QString &numberText)
{
    bool ok = false;
    const int number = numberText.toInt(&ok);
    if (!ok || number < 1) {
        Console::err(usageText());
        return Console::UsageError;
    }
    const QList<TakeRecord> records = m_history.newest(number);
    if (records.size() < number) {
        Console::err(QStringLiteral("There is no take %1 in the history (it holds %2).").arg(number).arg(records.size()));
        return Console::Failure;
    }
    // What was heard: the words before their clean-up, or the words
    // themselves where nothing changed them.
    const TakeRecord &record = records.at(number - 1);
    Console::out(record.raw.isEmpty() ? record.text : record.raw);
    return Console::Success;
}
