#include "ProcessEnd.h"

#include <cstdio>
#include <cstdlib>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLWREN_LEAK_CHECK 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define QUILLWREN_LEAK_CHECK 1
#endif
#if defined(QUILLWREN_LEAK_CHECK)
#include <sanitizer/lsan_interface.h>
#endif

namespace ProcessEnd {

void now(int status)
{
    std::fflush(nullptr);
#if defined(QUILLWREN_LEAK_CHECK)
    __lsan_do_leak_check();
#endif
    std::_Exit(status);
}

} // namespace ProcessEnd
