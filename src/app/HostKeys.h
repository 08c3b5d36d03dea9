#pragma once

#include "ApiKeyProvider.h"

// The keys the user stored for other hosts (speech and chat servers), read
// from the keyring afresh for each request.
namespace HostKeys {
HostKeyProvider fromKeyring();
}
