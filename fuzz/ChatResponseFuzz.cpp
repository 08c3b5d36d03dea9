// The bodies of the chat and vision answers and of the service's errors.
#include "ChatRecords.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char *>(data), qsizetype(size));
    if (const auto response = LLMResponse::fromJson(body)) {
        for (const LLMChoice &choice : response->choices) {
            if (choice.message)
                (void)choice.message->content.size();
            if (choice.delta && choice.delta->content)
                (void)choice.delta->content->size();
        }
    }
    if (const auto error = APIError::fromJson(body))
        (void)error->error.message.size();
    return 0;
}
