#include "CommandFixture.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

// `doctor`'s last line: whether the service takes the stored key, asked the
// way that spends nothing (the model list, the WebSocket handshake), against
// the stand-in this process serves.
namespace {

class DoctorService : public CommandFixture
{
protected:
    // The "service: ..." line, and how long the whole command took.
    QString serviceLine(qint64 *elapsedMs = nullptr)
    {
        QElapsedTimer timer;
        timer.start();
        const auto doctor = run({QStringLiteral("doctor")});
        if (elapsedMs)
            *elapsedMs = timer.elapsed();
        for (const QString &line : doctor.out.split(QLatin1Char('\n'))) {
            if (line.startsWith(QStringLiteral("service: ")))
                return line;
        }
        ADD_FAILURE() << "no service line:\n" << doctor.out.toStdString() << doctor.err.toStdString();
        return {};
    }
    int recordsOf(const QString &kind) { return int(server.recorder().recordsOfKind(kind).size()); }
    // doctor's "speech (openai, …)" line, if any.
    QString speechLine()
    {
        const auto doctor = run({QStringLiteral("doctor")});
        for (const QString &line : doctor.out.split(QLatin1Char('\n'))) {
            if (line.startsWith(QStringLiteral("speech ")))
                return line;
        }
        return {};
    }
};

TEST_F(DoctorService, AnotherSpeechServerIsCheckedWithItsHostsKeyAndItsModel)
{
    EXPECT_EQ(speechLine(), QString()) << "nothing while the service speaks";
    const QString base = QStringLiteral("http://localhost:%1/v1").arg(server.port());
    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("speechService"), QStringLiteral("openai")}).exitCode, 0);
    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("speechBaseURL"), base}).exitCode, 0);
    const QString role = QStringLiteral("speech (openai, %1): ").arg(base);

    EXPECT_EQ(speechLine(), role + QStringLiteral("no key (none is stored for localhost) was refused: Incorrect API key "
                                                  "provided. — store the right one with `quillwren key set --host localhost`"));
    useScenario(R"({"audio":{"keylessHosts":["localhost"]}})");
    EXPECT_EQ(speechLine(), role + QStringLiteral("reachable with no key (none is stored for localhost), model "
                                                  "gpt-4o-mini-tts known"));
    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("speechModel"), QStringLiteral("piper")}).exitCode, 0);
    EXPECT_TRUE(speechLine().startsWith(role + QStringLiteral("reachable with no key (none is stored for localhost), but it "
                                                              "has no model piper (it lists ")));
    // Transcription by the same server: a line of its own.
    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("transcriptionService"), QStringLiteral("openai")}).exitCode, 0);
    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("transcriptionBaseURL"), base}).exitCode, 0);
    const auto doctor = run({QStringLiteral("doctor")});
    EXPECT_TRUE(doctor.out.contains(QStringLiteral("transcription (openai, %1): reachable with no key (none is stored for "
                                                   "localhost), model gpt-4o-mini-transcribe known\n").arg(base)))
        << doctor.out.toStdString();
    server.close();
    EXPECT_TRUE(speechLine().startsWith(role + QStringLiteral("unreachable: "))) << speechLine().toStdString();
    const auto speech = server.recorder().recordsOfKind(QStringLiteral("http-request"));
    for (const QJsonObject &request : speech) {
        if (request[QStringLiteral("host")].toString() == QLatin1String("localhost")) {
            EXPECT_EQ(request[QStringLiteral("authorization")].toString(), QString()) << "the service's key went to it";
        }
    }
}

TEST_F(DoctorService, AStoredKeyTheServiceTakesIsAcceptedWithoutSpendingAnything)
{
    EXPECT_EQ(serviceLine(), QStringLiteral("service: reachable, and the key sk-s****6789 is accepted (%1, %2)")
                                 .arg(server.compatibleBaseUrl(), server.webSocketUrl().toString()));
    const auto requests = server.recorder().recordsOfKind(QStringLiteral("http-request"));
    ASSERT_EQ(requests.size(), 1);
    EXPECT_TRUE(requests[0].value(QStringLiteral("path")).toString().endsWith(QStringLiteral("/models")));
    EXPECT_EQ(recordsOf(QStringLiteral("ws-upgrade")), 1) << "the WebSocket endpoint was not tried";
    EXPECT_EQ(recordsOf(QStringLiteral("ws-text")), 0) << "a task was started";
    EXPECT_EQ(recordsOf(QStringLiteral("ws-binary")), 0) << "audio was sent";
}

TEST_F(DoctorService, AWrongKeyIsRefusedInTheServicesWordsAndNoKeySaysHowToStoreOne)
{
    ASSERT_EQ(run({QStringLiteral("key"), QStringLiteral("set")}, "sk-wrong-000000000000").exitCode, 0);
    const QString refused = serviceLine();
    EXPECT_EQ(refused, QStringLiteral("service: the key sk-w****0000 was refused: Incorrect API key provided. — store the "
                                      "right key with `quillwren key set` (the DashScope console lists your keys)"));
    EXPECT_FALSE(refused.contains(QStringLiteral("sk-wrong-000000000000"))) << "the key is printed whole";

    ASSERT_EQ(TestSupport::runTool(QStringLiteral("secret-tool"),
                                   {QStringLiteral("clear"), QStringLiteral("server"), QStringLiteral("com.orvo.quillwren.apikey"),
                                    QStringLiteral("user"), QStringLiteral("dashscope_api_key")}),
              0);
    const int before = recordsOf(QStringLiteral("http-request"));
    EXPECT_TRUE(serviceLine().startsWith(QStringLiteral("service: not checked, no API key is stored — store yours with "
                                                        "`quillwren key set`")));
    EXPECT_EQ(recordsOf(QStringLiteral("http-request")), before) << "asked the service without a key";
}

TEST_F(DoctorService, AServiceThatIsDownOrSilentIsUnreachableWithinTheBound)
{
    server.close();
    qint64 elapsed = 0;
    const QString down = serviceLine(&elapsed);
    EXPECT_TRUE(down.startsWith(QStringLiteral("service: unreachable: "))) << down.toStdString();
    EXPECT_TRUE(down.endsWith(QStringLiteral("— check the network connection, the compatibleBaseURL setting "
                                             "(`quillwren config set compatibleBaseURL URL`) and $QUILLWREN_WS_URL")))
        << down.toStdString();

    // A server that takes the connection and never answers: given up on
    // after the bound (8 s, here scaled to 0.8 s).
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    QList<QTcpSocket *> held;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] { held << silent.nextPendingConnection(); });
    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("compatibleBaseURL"),
                   QStringLiteral("http://127.0.0.1:%1/compatible-mode/v1").arg(silent.serverPort())}).exitCode, 0);
    env.insert(QStringLiteral("QUILLWREN_TIMEOUT_SCALE"), QStringLiteral("0.1"));
    const QString silence = serviceLine(&elapsed);
    EXPECT_TRUE(silence.startsWith(QStringLiteral("service: unreachable: no answer from http://127.0.0.1:%1/compatible-mode/"
                                                  "v1/models within 0.8 s")
                                       .arg(silent.serverPort())))
        << silence.toStdString();
    EXPECT_FALSE(held.isEmpty()) << "it never connected";
    EXPECT_LT(elapsed, 6000) << "doctor waited past its bound";
}

} // namespace
