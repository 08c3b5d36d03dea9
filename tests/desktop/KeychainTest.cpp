#include "KeychainManager.h"
#include "KeyringControl.h"
#include "TestSupport.h"

#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

using TestSupport::await;

namespace {

// What another program sees in the keyring: secret-tool is an independent witness.
QStringList secretTool(const QStringList &args)
{
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"), args);
    tool.waitForFinished(10000);
    return QString::fromUtf8(tool.readAllStandardOutput()).split(QLatin1Char('\n'));
}

QStringList itemAttributes()
{
    return {QStringLiteral("server"), QString::fromLatin1(KeychainManager::kServiceName),
            QStringLiteral("user"), QString::fromLatin1(KeychainManager::kAccountName)};
}

QString storedSecret()
{
    return secretTool(QStringList{QStringLiteral("lookup")} + itemAttributes()).join(QLatin1Char('\n'));
}

int storedItemCount()
{
    const QStringList lines =
        secretTool(QStringList{QStringLiteral("search"), QStringLiteral("--all")} + itemAttributes());
    return int(std::count_if(lines.begin(), lines.end(),
                             [](const QString &line) { return line.startsWith(QLatin1Char('[')); }));
}

class Keychain : public ::testing::Test
{
protected:
    // Cleared with secret-tool, which no stuck job of this process can hold up.
    void SetUp() override { secretTool(QStringList{QStringLiteral("clear")} + itemAttributes()); }
    void TearDown() override { SetUp(); }

    KeychainManager keychain;
};

TEST_F(Keychain, SaveReplacesTheOneItemAndReadsItBack)
{
    EXPECT_EQ(await(keychain.read()), std::nullopt);
    EXPECT_FALSE(await(keychain.hasConfiguredKey()));

    ASSERT_TRUE(await(keychain.save(QStringLiteral("sk-first-0123456789"))));
    EXPECT_EQ(await(keychain.read()), QStringLiteral("sk-first-0123456789"));
    EXPECT_EQ(storedSecret(), QStringLiteral("sk-first-0123456789")) << "the secret is the key's bytes";

    ASSERT_TRUE(await(keychain.save(QStringLiteral("sk-second-abcdefghij"))));
    EXPECT_EQ(await(keychain.read()), QStringLiteral("sk-second-abcdefghij"));
    EXPECT_TRUE(await(keychain.hasConfiguredKey()));
    EXPECT_EQ(storedItemCount(), 1);
}

TEST_F(Keychain, RemovingTwiceSucceedsAndLeavesNoKey)
{
    ASSERT_TRUE(await(keychain.save(QStringLiteral("sk-0123456789"))));
    EXPECT_TRUE(await(keychain.remove()));
    EXPECT_TRUE(await(keychain.remove()));
    EXPECT_EQ(await(keychain.read()), std::nullopt);
    EXPECT_EQ(storedItemCount(), 0);
}

TEST_F(Keychain, KeysAreStoredByteForByte)
{
    for (const QString &key : {QStringLiteral("  sk-with blanks\t "), QStringLiteral("密钥-ключ-🔑")}) {
        ASSERT_TRUE(await(keychain.save(key)));
        EXPECT_EQ(await(keychain.read()), key);
    }
}

TEST_F(Keychain, AnEmptyKeyIsNeverConfigured)
{
    ASSERT_TRUE(await(keychain.save(QStringLiteral("sk-0123456789"))));
    await(keychain.save(QString()));
    EXPECT_FALSE(KeychainManager::isConfigured(await(keychain.read())));
    EXPECT_FALSE(await(keychain.hasConfiguredKey()));
}

TEST_F(Keychain, ASaveTheKeyringRefusesKeepsTheEarlierKey)
{
    ASSERT_TRUE(await(keychain.save(QStringLiteral("sk-earlier-0123456789"))));
    ASSERT_TRUE(KeyringControl::lock());

    // The locked keyring asks for its password in a prompt, and the save
    // gives up at its time-out.
    KeychainManager impatient{std::chrono::milliseconds(1500)};
    TestSupport::LogCapture log;
    EXPECT_FALSE(await(impatient.save(QStringLiteral("sk-later-0123456789"))));
    for (const QString &line : log.lines())
        EXPECT_FALSE(line.contains(QStringLiteral("sk-later"))) << "the key is never logged";

    // The user cancels the prompt, and unlocks the keyring later.
    EXPECT_TRUE(KeyringControl::dismissPrompt());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return log.lines().size() >= 2; }));
    EXPECT_TRUE(log.lines().at(1).startsWith(QStringLiteral("ℹ️ [Keychain] 超时的保存操作随后失败")))
        << "a late answer is reported";
    ASSERT_TRUE(KeyringControl::unlock(KeyringControl::testPassword()));
    EXPECT_EQ(storedSecret(), QStringLiteral("sk-earlier-0123456789"));
    EXPECT_EQ(await(keychain.read()), QStringLiteral("sk-earlier-0123456789"));
}

TEST_F(Keychain, CommandLineStoresTheKeyOnlyInTheKeyring)
{
    QTemporaryDir home;
    const auto env = TestSupport::isolatedEnvironment(home);
    auto set = TestSupport::runQuillwren({QStringLiteral("key"), QStringLiteral("set")}, env,
                                         " sk-from-stdin-0123456789\n");
    EXPECT_EQ(set.exitCode, 0) << set.err.toStdString();
    EXPECT_EQ(set.out, QStringLiteral("API key stored:  sk-****6789\n"));
    EXPECT_EQ(await(keychain.read()), QStringLiteral(" sk-from-stdin-0123456789"))
        << "only the line break is dropped";

    auto status = TestSupport::runQuillwren({QStringLiteral("key"), QStringLiteral("status")}, env);
    EXPECT_EQ(status.exitCode, 0);
    EXPECT_TRUE(status.out.contains(QStringLiteral("configured ( sk-****6789, 25 characters)")))
        << status.out.toStdString();
    EXPECT_TRUE(QDir(home.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        << "nothing is written to the settings folder";

    // Another host's key: its own item, named by the host however it is written.
    const auto key = [&](const QStringList &args, const QByteArray &input = {}) {
        return TestSupport::runQuillwren(QStringList{QStringLiteral("key")} + args, env, input);
    };
    const QString host = QStringLiteral("--host");
    auto hostSet = key({QStringLiteral("set"), host, QStringLiteral("API.OpenAI.com")}, "sk-openai-abcdefgh\n");
    EXPECT_EQ(hostSet.exitCode, 0) << hostSet.err.toStdString();
    EXPECT_EQ(hostSet.out, QStringLiteral("API key for api.openai.com stored: sk-o****efgh\n"));
    EXPECT_EQ(await(KeychainManager::forHost(QStringLiteral("api.openai.com")).read()), QStringLiteral("sk-openai-abcdefgh"));
    EXPECT_EQ(await(keychain.read()), QStringLiteral(" sk-from-stdin-0123456789")) << "the service's key is untouched";
    auto byUrl = key({QStringLiteral("status"), host, QStringLiteral("https://api.openai.com/v1")});
    EXPECT_EQ(byUrl.exitCode, 0);
    EXPECT_TRUE(byUrl.out.startsWith(QStringLiteral("API key for api.openai.com: configured (sk-o****efgh")))
        << byUrl.out.toStdString();
    EXPECT_EQ(key({QStringLiteral("status"), host, QStringLiteral("localhost:8000")}).exitCode, 1) << "none stored there";
    EXPECT_EQ(key({QStringLiteral("set"), host, QStringLiteral("not a host")}, "x\n").exitCode, 2);
    EXPECT_EQ(key({QStringLiteral("remove"), host, QStringLiteral("api.openai.com")}).exitCode, 0);
    EXPECT_EQ(await(KeychainManager::forHost(QStringLiteral("api.openai.com")).read()), std::nullopt);
    EXPECT_EQ(key({QStringLiteral("remove")}).exitCode, 2) << "the service's key is removed in the settings, not here";
}

} // namespace
