#include "CompatibleMode.h"
#include "DashScopeEndpoints.h"
#include "NetworkTimeouts.h"
#include "SseLineReader.h"
#include "VisionClient.h"

#include <gtest/gtest.h>

namespace {

TEST(VisionClient, LoggedBodiesNeverHoldTheImageAndStopAt800Characters)
{
    const QByteArray shortImage = "{\"url\":\"data:image/jpeg;base64," + QByteArray(99, 'A') + "\"}";
    EXPECT_EQ(VisionClient::redactedBody(shortImage, 99), QString::fromUtf8(shortImage));
    const QByteArray image = "{\"url\":\"data:image/jpeg;base64," + QByteArray(5000, 'Q') + "==\"}";
    EXPECT_EQ(VisionClient::redactedBody(image, 5002),
              QStringLiteral("{\"url\":\"data:image/jpeg;base64,<5002_chars_omitted>\"}"));

    const QByteArray exactly800(800, 'x');
    EXPECT_EQ(VisionClient::redactedBody(exactly800, 0).size(), 800);
    const QString cut = VisionClient::redactedBody(QByteArray(801, 'x'), 0);
    EXPECT_EQ(cut, QString(800, QLatin1Char('x')) + QStringLiteral("..."));
}

TEST(CompatibleMode, TheUrlIsThePlainConcatenationOrNothing)
{
    EXPECT_EQ(CompatibleMode::chatCompletionsUrl(QStringLiteral("https://h/compatible-mode/v1"))->toString(),
              QStringLiteral("https://h/compatible-mode/v1/chat/completions"));
    EXPECT_EQ(CompatibleMode::chatCompletionsUrl(QStringLiteral("https://h/v1/"))->toString(), QStringLiteral("https://h/v1//chat/completions"));
    for (const char *bad : {"", "not a url", "ftp://h/v1", "https://", "http://h h/v1"})
        EXPECT_FALSE(CompatibleMode::chatCompletionsUrl(QString::fromLatin1(bad))) << bad;
}

TEST(SseLineReader, LinesSurviveAnyPacketSplitAndEveryLineEnding)
{
    const QByteArray body = "data: {\"a\":1}\r\n\r\ndata: [DONE]\rtail";
    // Every way of cutting the body in two gives the same lines.
    for (qsizetype cut = 0; cut <= body.size(); ++cut) {
        SseLineReader reader;
        QList<QByteArray> lines = reader.feed(body.left(cut));
        lines += reader.feed(body.mid(cut));
        lines += reader.finish();
        lines.removeAll(QByteArray()); // a CR LF cut in two reads as two line ends
        EXPECT_EQ(lines, (QList<QByteArray>{"data: {\"a\":1}", "data: [DONE]", "tail"})) << cut;
    }
    SseLineReader reader;
    EXPECT_TRUE(reader.feed("data: unfinished").isEmpty()) << "a line waits for its end";
    EXPECT_EQ(reader.finish(), QList<QByteArray>{"data: unfinished"});
    EXPECT_TRUE(reader.finish().isEmpty()) << "the rest is handed out once";
}

TEST(SseLineReader, OnlyDataLinesCarryData)
{
    EXPECT_EQ(SseLineReader::dataOf("  data: [DONE] "), QByteArray("[DONE]"));
    EXPECT_EQ(SseLineReader::dataOf("data: {\"x\": 1}"), QByteArray("{\"x\": 1}"));
    EXPECT_FALSE(SseLineReader::dataOf("data:[DONE]")) << "the service always writes the blank";
    EXPECT_FALSE(SseLineReader::dataOf(": keep-alive"));
    EXPECT_FALSE(SseLineReader::dataOf("event: data: x"));
}

TEST(DashScopeEndpoints, SynthesisUsesTheDuplexPathWithoutItsTrailingSlash)
{
    const DashScopeEndpoints production{QUrl(QString::fromLatin1(DashScopeEndpoints::kProductionDuplex))};
    EXPECT_EQ(production.recognition().toString(), QStringLiteral("wss://dashscope.aliyuncs.com/api-ws/v1/inference/"));
    EXPECT_EQ(production.synthesis().toString(), QStringLiteral("wss://dashscope.aliyuncs.com/api-ws/v1/inference"));
    const DashScopeEndpoints local{QUrl(QStringLiteral("ws://127.0.0.1:9/api-ws/v1/inference//"))};
    EXPECT_EQ(local.synthesis().toString(), QStringLiteral("ws://127.0.0.1:9/api-ws/v1/inference"));
    const DashScopeEndpoints noSlash{QUrl(QStringLiteral("ws://127.0.0.1:9/x"))};
    EXPECT_EQ(noSlash.synthesis(), noSlash.recognition());
}

TEST(DashScopeEndpoints, TheEnvironmentOverridesTheProductionEndpointForBothTasks)
{
    qputenv("QUILLWREN_WS_URL", "ws://127.0.0.1:4567/api-ws/v1/inference/");
    const DashScopeEndpoints overridden = DashScopeEndpoints::forConfig(AppConfig::defaults());
    qunsetenv("QUILLWREN_WS_URL");
    EXPECT_EQ(overridden.recognition().toString(), QStringLiteral("ws://127.0.0.1:4567/api-ws/v1/inference/"));
    EXPECT_EQ(overridden.synthesis().toString(), QStringLiteral("ws://127.0.0.1:4567/api-ws/v1/inference"));
    EXPECT_EQ(DashScopeEndpoints::forConfig(AppConfig::defaults()).recognition().toString(),
              QString::fromLatin1(DashScopeEndpoints::kProductionDuplex));
}

TEST(DashScopeEndpoints, RegionWorkspaceBaseAndOverrideChooseTheThreeAddresses)
{
    const QString custom = QStringLiteral("https://proxy.example.test/v1");
    const QString local = QStringLiteral("ws://127.0.0.1:4567/api-ws/v1/inference/");
    struct Row
    {
        const char *region;
        const char *workspace;
        bool customBase;
        bool overridden;
        const char *host; // of the derived addresses
    };
    const Row rows[] = {
        {"beijing", "", false, false, "dashscope.aliyuncs.com"},
        {"singapore", "", false, false, "dashscope-intl.aliyuncs.com"},
        {"beijing", "ws-1a", false, false, "ws-1a.cn-beijing.maas.aliyuncs.com"},
        {"singapore", "ws-1a", false, false, "ws-1a.ap-southeast-1.maas.aliyuncs.com"},
        {"singapore", "", true, false, "dashscope-intl.aliyuncs.com"},
        {"singapore", "ws-1a", false, true, "ws-1a.ap-southeast-1.maas.aliyuncs.com"},
        {"beijing", "", true, true, "dashscope.aliyuncs.com"},
    };
    for (const Row &row : rows) {
        AppConfig config;
        config.serviceRegion = QString::fromLatin1(row.region);
        config.workspaceId = QString::fromLatin1(row.workspace);
        if (row.customBase)
            config.compatibleBaseURL = custom;
        const DashScopeEndpoints endpoints = DashScopeEndpoints::derive(config, row.overridden ? local : QString());
        const QString host = QString::fromLatin1(row.host);
        const std::string where = std::string(row.region) + "/" + row.workspace + (row.customBase ? "/custom" : "")
                                  + (row.overridden ? "/overridden" : "");
        EXPECT_EQ(endpoints.duplex.toString(),
                  row.overridden ? local : QStringLiteral("wss://%1/api-ws/v1/inference/").arg(host)) << where;
        EXPECT_EQ(endpoints.compatibleBase,
                  row.customBase ? custom : QStringLiteral("https://%1/compatible-mode/v1").arg(host)) << where;
        EXPECT_EQ(endpoints.nativeBase, QStringLiteral("https://%1/api/v1").arg(host)) << where;
    }
    // The defaults are byte for byte what the program always used.
    const DashScopeEndpoints defaults = DashScopeEndpoints::derive(AppConfig::defaults(), {});
    EXPECT_EQ(defaults.duplex.toString(), QString::fromLatin1(DashScopeEndpoints::kProductionDuplex));
    EXPECT_EQ(defaults.compatibleBase, QString::fromLatin1(AppConfig::kDefaultCompatibleBaseURL));
    EXPECT_EQ(defaults.synthesis().toString(), QStringLiteral("wss://dashscope.aliyuncs.com/api-ws/v1/inference"));
}

TEST(DashScopeEndpoints, AClientWithoutAFixedWebSocketFollowsEachCallsSettings)
{
    AppConfig singapore;
    singapore.serviceRegion = QStringLiteral("singapore");
    const DashScopeEndpoints following = DashScopeEndpoints::fixedByEnvironment();
    EXPECT_TRUE(following.duplex.isEmpty());
    EXPECT_EQ(following.recognition(singapore).host(), QStringLiteral("dashscope-intl.aliyuncs.com"));
    EXPECT_EQ(following.synthesis(AppConfig::defaults()).toString(),
              QStringLiteral("wss://dashscope.aliyuncs.com/api-ws/v1/inference"));
    const DashScopeEndpoints fixed{QUrl(QStringLiteral("ws://127.0.0.1:9/api-ws/v1/inference/"))};
    EXPECT_EQ(fixed.recognition(singapore).host(), QStringLiteral("127.0.0.1"));
}

TEST(NetworkTimeouts, TheEnvironmentScalesEveryWaitAndABadValueChangesNothing)
{
    using namespace std::chrono_literals;
    const NetworkTimeouts usual;
    EXPECT_EQ(usual.httpInactivity, 60000ms);
    EXPECT_EQ(usual.recognitionStart, 10000ms);

    qputenv("QUILLWREN_TIMEOUT_SCALE", "0.05");
    QString problem;
    const NetworkTimeouts quick = NetworkTimeouts::fromEnvironment(&problem);
    EXPECT_TRUE(problem.isEmpty());
    EXPECT_EQ(quick.httpInactivity, 3000ms);
    EXPECT_EQ(quick.synthesis, 750ms);
    EXPECT_EQ(quick.recognitionStart, 500ms);
    EXPECT_EQ(quick.recognitionFinish, 250ms);

    for (const char *bad : {"fast", "0", "-2", "1e9", "nan", "inf"}) {
        qputenv("QUILLWREN_TIMEOUT_SCALE", bad);
        problem.clear();
        const NetworkTimeouts ignored = NetworkTimeouts::fromEnvironment(&problem);
        EXPECT_EQ(ignored.httpInactivity, usual.httpInactivity) << bad;
        EXPECT_TRUE(problem.startsWith(QStringLiteral("QUILLWREN_TIMEOUT_SCALE=") + QString::fromLatin1(bad))) << bad;
    }
    qunsetenv("QUILLWREN_TIMEOUT_SCALE");
    EXPECT_EQ(NetworkTimeouts().scaled(1e-9).synthesis, 1ms) << "never a zero wait, which would mean none";
}

} // namespace
