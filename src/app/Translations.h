#pragma once

#include <QProcessEnvironment>
#include <QStringList>

class QCoreApplication;

// The language of the windows, chosen once at start from the user's UI
// languages: the texts are written in Chinese, so a Chinese user gets them as
// they are and everybody else the English translation (a German desktop gets
// English, not Chinese it would get from a missing translation). Qt's own
// texts (standard buttons, dialogs) follow the same choice. The log, the
// stored settings and the command line never change with it.
namespace Translations {

enum class Language { Chinese, English };

// The user's UI languages in order, read as Qt reads them: the LANGUAGE list
// when it is set (even under the C locale), then the first of LC_ALL,
// LC_MESSAGES and LANG; encodings and modifiers left off ("zh_CN.UTF-8" →
// "zh_CN").
QStringList uiLanguages(const QProcessEnvironment &environment);

// The first of the user's languages that the program has; English when none.
// Returns the language and, through `matched`, the entry that chose it.
Language choose(const QStringList &uiLanguages, QString *matched = nullptr);

// Chooses from the process's environment and installs the translators on the
// application (they live as long as it does).
Language install(QCoreApplication &application);

} // namespace Translations
