#include "CommandLine.h"

#include "Application.h"
#include "ConfigCommand.h"
#include "HistoryCommand.h"
#include "ReplaceCommand.h"
#include "WordsCommand.h"
#include "TakeHistory.h"
#include "Console.h"
#include "DesktopCommands.h"
#include "DevicesCommand.h"
#include "SettingsStore.h"
#include "DoctorCommand.h"
#include "InstanceCommands.h"
#include "KeyCommand.h"
#include "Log.h"
#include "ModelCommands.h"
#include "MonitorKeysCommand.h"
#include "RunCommand.h"
#include "TranscribeCommand.h"

#include <QCoreApplication>
#include <QTimer>

namespace CommandLine {
namespace {

// Awaits the command, then ends the event loop with its exit status. A plain
// function, not a capturing lambda: a lambda's captures die with the lambda
// object at the first suspension.
QCoro::Task<> finishWith(std::function<QCoro::Task<int>()> command, int *status)
{
    *status = co_await command();
    QCoreApplication::exit(*status);
}

// Runs an asynchronous command on the event loop and returns its exit status.
int runTask(QCoreApplication &app, std::function<QCoro::Task<int>()> command)
{
    int status = Console::Failure;
    // Started from the running loop, so that a command finishing at once can still quit it.
    QTimer::singleShot(0, &app, [&] { finishWith(command, &status); });
    app.exec();
    return status;
}

} // namespace

QString usage()
{
    return QStringLiteral(
        "usage: quillwren [COMMAND [ARGS]]\n"
        "\n"
        "A desktop voice assistant: hold a modifier key to dictate, to ask, or to draft a reply.\n"
        "\n"
        "Commands:\n"
        "  run                      (or no command) run the assistant until `quit`, Ctrl+C\n"
        "                           or SIGTERM; one instance per session\n"
        "  status                   print the running instance's state as JSON (exit 1 if none)\n"
        "  quit                     ask the running instance to quit\n"
        "  settings                 open the settings window (starts Quillwren if needed)\n"
        "  hold MODE                act as MODE's key going down (voice, chat or reply), for\n"
        "                           the desktop's own key bindings; a release within 0.3 s\n"
        "                           of the hold is a tap\n"
        "  release [MODE]           act as MODE's key (every held mode's) coming up\n"
        "  toggle MODE              start a take of MODE, or end it if one runs (for\n"
        "                           shortcuts that fire only on press); a voice or chat\n"
        "                           take goes on hands-free, Esc cancels it\n"
        "  doctor                   say what works on this desktop (mode keys, clipboard,\n"
        "                           paste, capture, windows, tray), with the fix for what\n"
        "                           does not, and whether the service takes the stored key;\n"
        "                           exit 1 unless the mode keys and paste work\n"
        "  key set                  store the DashScope API key read from standard input\n"
        "  key status               say whether a key is stored (exit status 1 when not)\n"
        "  key set --host HOST      store the key for another host (a speech or chat server),\n"
        "                           used for every request to that host and nowhere else\n"
        "  key status --host HOST   say whether that host has a key\n"
        "  key remove --host HOST   forget that host's key\n"
        "  config show              print the shortcut and model settings as JSON\n"
        "  config set FIELD VALUE   change one setting, e.g. `config set llmModel qwen-plus`\n"
        "                           or `config set voiceInput.modifier shift`\n"
        "  replace add FROM TO      replace FROM with TO in dictated text and questions\n"
        "  replace list             list the replacements, in the order they apply\n"
        "  replace remove FROM      remove the replacement of FROM\n"
        "  words add WORD [--weight N]\n"
        "                           teach the recogniser a word (a name, a product; weight 1-5,\n"
        "                           4 by default), synced to the service's vocabulary at once\n"
        "  words list               list the hot words and whether the service has them\n"
        "  words remove WORD        forget a hot word\n"
        "  history [-n N] [--json]  print the newest N takes (20), newest first and numbered;\n"
        "                           --json: one JSON object per line (with the kept audio's\n"
        "                           path and length, where there is one)\n"
        "  history --raw N          print take N's words as heard, before their clean-up\n"
        "  history clear            empty the history and remove the kept audio\n"
        "  retry [N]                send take N's kept audio again through the running\n"
        "                           instance (default: the newest failed or cancelled take);\n"
        "                           dictated text goes to the clipboard, a question is answered\n"
        "  devices                  list the microphones; * marks the one takes record from\n"
        "  monitor-keys             watch the mode keys and print each press, activation,\n"
        "                           release and cancellation until interrupted\n"
        "  transcribe --input FILE.wav [--fast] [--partial]\n"
        "                           recognise a WAV file as if spoken; print the transcript\n"
        "  transcribe --mic [--seconds N] [--partial]\n"
        "                           recognise the microphone for N seconds, or until Enter\n"
        "                           (on a terminal), Ctrl+C or SIGTERM; print the transcript\n"
        "  ask \"QUESTION\"           stream the chat model's answer to standard output\n"
        "  speak \"TEXT\" -o FILE     write the synthesised speech as an MP3 file\n"
        "  reply --image FILE       print the reply the vision model drafts for a chat screenshot\n"
        "  cleanup [--level light|full] \"TEXT\"\n"
        "                           print what dictation would type for TEXT with the clean-up on\n"
        "                           (the edit, or TEXT itself and why on standard error)\n"
        "  type \"TEXT\" [--delay S]  paste the text into the focused application (after S seconds)\n"
        "  capture -o FILE.jpg      write the focused screen as the reply mode sends it\n"
        "  capture --base64         print it as Base64 instead\n"
        "  --help, -h               show this text\n"
        "  --version                show the version\n"
        "\n"
        "Settings fields: llmModel, compatibleBaseURL, asrModel, ttsModel, ttsVoice, vlModel,\n"
        "enableLLMPolish, keepHistory, restoreClipboard (true|false), keyRoute (auto|x11|evdev|portal|bindings: how\n"
        "the mode keys are read, from the next start), serviceRegion (beijing|singapore: where your key was\n"
        "made), workspaceId (optional: your workspace's own host), asrLanguage (auto|zh|en|ja: what the\n"
        "recogniser expects), handsFreeVoiceInput, handsFreeChatAssistant (true|false: a double tap of\n"
        "the mode's key records until its next press), handsFreeLimitSeconds (10 to 3600: the longest such\n"
        "take), pauseMedia (true|false: pause playing media players while you speak and while the\n"
        "answer is spoken), soundCues (true|false: a tone when recording starts and stops), inputDevice\n"
        "(a microphone's name from `quillwren devices`; \"\" for the default), keepAudio (failed|all|none:\n"
        "whose audio is kept to be sent again with `quillwren retry`), dictationCleanup (off|light|full:\n"
        "dictated words tidied by the chat model before they are typed), cleanupModel (\"\": llmModel),\n"
        "cleanupInstructions (your own rule, 500 characters at most), cleanupSkipApps (window classes or\n"
        "app IDs, comma-separated, typed as heard), liveCaption (true|false: the words heard so far\n"
        "beside the ball while you dictate or ask), speechService (dashscope|openai: who speaks the\n"
        "answers), speechBaseURL (an OpenAI-style server's base, e.g. http://localhost:8000/v1),\n"
        "speechModel and speechVoice (that server's own names), transcriptionService (dashscope|openai:\n"
        "who turns speech into words; openai sends the take once the key is let go),\n"
        "transcriptionBaseURL and transcriptionModel (that server's), and\n"
        "MODE.modifier (option|control|command|shift) and\n"
        "MODE.enabled (true|false) for MODE voiceInput, chatAssistant, bffReply.\n"
        "Keys: option = Alt, control = Ctrl, command = Super, shift = Shift.\n"
        "The history lives in $XDG_DATA_HOME/orvo/Quillwren/history.jsonl, the kept audio in audio/\n"
        "beside it (the newest 50 takes, 200 MB at most; readable by you alone).\n"
        "The service: serviceRegion and workspaceId choose its hosts (`config show` prints them); a\n"
        "compatibleBaseURL of your own wins for chat and vision, $QUILLWREN_WS_URL for the WebSocket,\n"
        "$QUILLWREN_NATIVE_URL for the native interface (the hot words' vocabulary). $QUILLWREN_API_KEY,\n"
        "where set, is used instead of the stored key (for scripts).\n"
        "\n"
        "Exit status: 0 success, 1 failure, 2 bad command line (nothing changed).");
}

bool needsGui(const QStringList &args)
{
    return args.isEmpty() || args.first() == QLatin1String("run") || args.first() == QLatin1String("type")
           || args.first() == QLatin1String("capture") || args.first() == QLatin1String("doctor");
}

int run(QCoreApplication &app, Application &application, const QStringList &args)
{
    if (args.isEmpty())
        return RunCommand(application).run(app, {});
    const QString &command = args.first();
    const QStringList rest = args.mid(1);

    if (command == QLatin1String("--help") || command == QLatin1String("-h")
        || command == QLatin1String("help")) {
        Console::out(usage());
        return Console::Success;
    }
    if (command == QLatin1String("--version")) {
        Console::out(QStringLiteral("quillwren ") + QStringLiteral(QUILLWREN_VERSION));
        return Console::Success;
    }
    if (command == QLatin1String("run"))
        return RunCommand(application).run(app, rest);
    if (command == QLatin1String("status"))
        return InstanceCommands::status(rest);
    if (command == QLatin1String("quit"))
        return InstanceCommands::quit(rest);
    if (command == QLatin1String("settings"))
        return InstanceCommands::settings(rest);
    if (command == QLatin1String("hold") || command == QLatin1String("release") || command == QLatin1String("toggle"))
        return InstanceCommands::binding(command, rest);
    if (command == QLatin1String("retry"))
        return InstanceCommands::retry(rest);
    if (command == QLatin1String("doctor")) {
        DoctorCommand doctor(application);
        return runTask(app, [&] { return doctor.run(rest); });
    }
    if (command == QLatin1String("config")) {
        Log::useStandardError(); // standard output carries the settings
        return ConfigCommand(application.settings(),
                             [&application] { return DevicesCommand::listInputIds(application.audioInputWatcher()); })
            .run(rest);
    }
    if (command == QLatin1String("devices")) {
        Log::useStandardError(); // standard output carries the list
        return DevicesCommand(application.audioInputWatcher(), application.settings().loadAppConfig().inputDevice.toUtf8())
            .run(rest);
    }
    if (command == QLatin1String("replace"))
        return ReplaceCommand(application.settings()).run(rest);
    if (command == QLatin1String("words")) {
        WordsCommand words(application.settings(), application.apiKeyProvider());
        return runTask(app, [&] { return words.run(rest); });
    }
    if (command == QLatin1String("history")) {
        TakeHistory history(TakeHistory::defaultPath());
        return HistoryCommand(history).run(rest);
    }
    if (command == QLatin1String("monitor-keys"))
        return MonitorKeysCommand(application).run(app, rest);
    if (command == QLatin1String("ask") || command == QLatin1String("speak") || command == QLatin1String("reply")
        || command == QLatin1String("cleanup")) {
        Log::useStandardError(); // standard output carries the result
        ModelCommands commands(application.modelService(), application.settings());
        return runTask(app, [&]() -> QCoro::Task<int> {
            return command == QLatin1String("ask")       ? commands.ask(rest)
                   : command == QLatin1String("speak")   ? commands.speak(rest)
                   : command == QLatin1String("cleanup") ? commands.cleanup(rest)
                                                         : commands.reply(rest);
        });
    }
    if (command == QLatin1String("transcribe")) {
        Log::useStandardError();
        TranscribeCommand transcribe(application);
        return runTask(app, [&] { return transcribe.run(rest); });
    }
    if (command == QLatin1String("type") || command == QLatin1String("capture")) {
        Log::useStandardError();
        DesktopCommands commands(application.desktop());
        return runTask(app, [&]() -> QCoro::Task<int> {
            return command == QLatin1String("type") ? commands.type(rest) : commands.capture(rest);
        });
    }
    if (command == QLatin1String("key")) {
        KeyCommand key(application.keychain());
        return runTask(app, [&] { return key.run(rest); });
    }

    Console::err(QStringLiteral("quillwren: unknown command \"%1\" (see quillwren --help)").arg(command));
    return Console::UsageError;
}

} // namespace CommandLine
