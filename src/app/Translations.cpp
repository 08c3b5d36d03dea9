#include "Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QTranslator>

namespace Translations {

namespace {

QString withoutEncoding(QString name)
{
    // "zh_CN.UTF-8@latin" → "zh_CN"
    const qsizetype cut = name.indexOf(QRegularExpression(QStringLiteral("[.@]")));
    if (cut >= 0)
        name.truncate(cut);
    return name.trimmed();
}

bool install(QCoreApplication &application, const QString &directory, const QString &file)
{
    auto *translator = new QTranslator(&application);
    if (translator->load(file, directory) && QCoreApplication::installTranslator(translator))
        return true;
    delete translator;
    return false;
}

} // namespace

QStringList uiLanguages(const QProcessEnvironment &environment)
{
    QStringList languages;
    for (const QString &entry : environment.value(QStringLiteral("LANGUAGE")).split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        const QString name = withoutEncoding(entry);
        if (!name.isEmpty())
            languages << name;
    }
    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = environment.value(QLatin1String(variable));
        if (!value.isEmpty()) {
            languages << withoutEncoding(value);
            break;
        }
    }
    return languages;
}

Language choose(const QStringList &uiLanguages, QString *matched)
{
    for (const QString &language : uiLanguages) {
        const QString lower = language.toLower();
        const bool chinese = lower == QLatin1String("zh") || lower.startsWith(QLatin1String("zh_"))
                             || lower.startsWith(QLatin1String("zh-"));
        const bool english = lower == QLatin1String("en") || lower.startsWith(QLatin1String("en_"))
                             || lower.startsWith(QLatin1String("en-"));
        if (chinese || english) {
            if (matched)
                *matched = language;
            return chinese ? Language::Chinese : Language::English;
        }
    }
    if (matched)
        matched->clear();
    return Language::English;
}

Language install(QCoreApplication &application)
{
    QString matched;
    const Language language = choose(uiLanguages(QProcessEnvironment::systemEnvironment()), &matched);
    const QString qtTexts = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (language == Language::Chinese) {
        // Qt ships simplified and traditional Chinese for its own buttons.
        const bool traditional = matched.contains(QLatin1String("TW"), Qt::CaseInsensitive)
                                 || matched.contains(QLatin1String("HK"), Qt::CaseInsensitive);
        install(application, qtTexts, traditional ? QStringLiteral("qtbase_zh_TW") : QStringLiteral("qtbase_zh_CN"));
    } else {
        install(application, QStringLiteral(":/i18n"), QStringLiteral("quillwren_en"));
        install(application, qtTexts, QStringLiteral("qtbase_en"));
    }
    return language;
}

} // namespace Translations
