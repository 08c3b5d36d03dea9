// A model's answer checked against the words it was to edit: any bytes,
// any Unicode (lone surrogates, marks, scripts), never a crash, and an
// accepted edit is never empty and never carries the prompt's tag.
#include "CleanupGuard.h"
#include "FuzzChunks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The transcript, a NUL, the answer.
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype split = bytes.indexOf('\0');
    const QString transcript = QString::fromUtf8(split < 0 ? bytes : bytes.left(split));
    const QString answer = split < 0 ? QString() : QString::fromUtf8(bytes.mid(split + 1));
    const CleanupGuard::Check check = CleanupGuard::check(transcript, answer);
    if (check.verdict == CleanupGuard::Verdict::Accepted) {
        FUZZ_CHECK(!check.text.trimmed().isEmpty());
        FUZZ_CHECK(!check.text.contains(QStringLiteral("<transcript"), Qt::CaseInsensitive));
        FUZZ_CHECK(!check.text.contains(QStringLiteral("<think>"), Qt::CaseInsensitive));
    } else {
        FUZZ_CHECK(!CleanupGuard::reason(check.verdict).isEmpty());
    }
    (void)CleanupGuard::withoutReasoning(answer);
    return 0;
}
