// Stored settings records, as damaged files may hold them: refused, or read
// into values that are written back and read again unchanged.
#include "AppConfig.h"
#include "FuzzChunks.h"
#include "ShortcutConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray json(reinterpret_cast<const char *>(data), qsizetype(size));
    if (const auto config = AppConfig::fromJson(json)) {
        const auto again = AppConfig::fromJson(config->toJson());
        FUZZ_CHECK(again && *again == *config);
    }
    if (const auto shortcuts = ShortcutConfig::fromJson(json)) {
        const auto again = ShortcutConfig::fromJson(shortcuts->toJson());
        FUZZ_CHECK(again && *again == *shortcuts);
    }
    return 0;
}
