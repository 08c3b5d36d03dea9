#pragma once

#include <QString>
#include <QStringList>

// Texts that live on in their original after they are shown: status lines,
// endings and error descriptions go to the log, the history and the JSON
// that scripts read exactly as written, so they are kept in the original and
// put into the user's language only where a window or a notification shows
// them. Each one is written at its site as
//
//     UserText::of(QT_TRANSLATE_NOOP("UserText", "识别中：%1")).arg(text)
//
// so that lupdate finds it; shown() translates a finished text, including one
// built from such a text with arguments (themselves translated when they are
// texts of ours: an error description inside a status).
namespace UserText {

inline constexpr char kContext[] = "UserText";

inline QString of(const char *original) { return QString::fromUtf8(original); }

// The text in the language of the installed translation; a text that is not
// ours (a transcript, the service's own message) comes back unchanged.
QString shown(const QString &original);

// The texts of ours with placeholders, from the translation's catalogue: how
// shown() recognises "识别错误：连接已取消" as "识别错误：%1" with "连接已取消".
const QStringList &templates();

} // namespace UserText
