#include "KeychainManager.h"
#include "TestSupport.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

using TestSupport::await;

namespace {

// Runs with DBUS_SESSION_BUS_ADDRESS pointing nowhere (set by the test's
// environment): there is no Secret Service at all.
TEST(KeychainWithoutSecretService, EveryOperationAnswersNoPromptly)
{
    ASSERT_EQ(qgetenv("DBUS_SESSION_BUS_ADDRESS"), QByteArray("unix:path=/nonexistent"));
    KeychainManager keychain;
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(await(keychain.save(QStringLiteral("sk-0123456789"))));
    EXPECT_EQ(await(keychain.read()), std::nullopt);
    EXPECT_FALSE(await(keychain.remove()));
    EXPECT_FALSE(await(keychain.hasConfiguredKey()));
    // A missing service is an immediate error, not a time-out.
    EXPECT_LT(timer.elapsed(), KeychainManager::kDefaultTimeout.count());
}

} // namespace
