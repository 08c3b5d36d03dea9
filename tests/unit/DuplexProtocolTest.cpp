#include "DuplexProtocol.h"
#include "SocketErrors.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

namespace {

QJsonObject payloadOf(const char *json)
{
    return QJsonDocument::fromJson(json).object();
}

TEST(DuplexProtocol, TaskIdsAre32UpperCaseHexDigitsAndNeverRepeat)
{
    const QRegularExpression form(QStringLiteral("^[0-9A-F]{32}$"));
    QSet<QString> seen;
    for (int i = 0; i < 200; ++i) {
        const QString id = DuplexProtocol::makeTaskId();
        EXPECT_TRUE(form.match(id).hasMatch()) << id.toStdString();
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 200);
}

TEST(DuplexProtocol, FramesThatAreNotObjectsAreUnparseableAndAMissingEventIsUnknown)
{
    EXPECT_FALSE(DuplexProtocol::parse("not json"));
    EXPECT_FALSE(DuplexProtocol::parse("[1,2]"));
    const auto noEvent = DuplexProtocol::parse(R"({"header":{"task_id":"x"},"payload":{}})");
    ASSERT_TRUE(noEvent);
    EXPECT_EQ(noEvent->event, QStringLiteral("unknown"));
    EXPECT_TRUE(noEvent->header);
    const auto wrongType = DuplexProtocol::parse(R"({"header":{"event":7},"payload":[]})");
    ASSERT_TRUE(wrongType);
    EXPECT_EQ(wrongType->event, QStringLiteral("unknown"));
    EXPECT_FALSE(wrongType->payload) << "a payload that is not an object is absent";
    EXPECT_FALSE(DuplexProtocol::parse(R"({"header":"task-started"})")->header);
}

TEST(DuplexProtocol, PathsReadOnlyThroughObjectsOfTheRightType)
{
    const QJsonObject full = payloadOf(
        R"({"output":{"sentence":{"text":"你好","sentence_end":true,"heartbeat":false}},"usage":{"duration":3}})");
    EXPECT_EQ(DuplexProtocol::sentenceText(full), QStringLiteral("你好"));
    EXPECT_EQ(DuplexProtocol::sentenceFlag(full, QStringLiteral("sentence_end")), true);
    EXPECT_EQ(DuplexProtocol::billedDuration(full), 3);

    const QJsonObject durationOnly = payloadOf(R"({"output":{"sentence":{"text":1}},"usage":{"duration":2}})");
    EXPECT_EQ(DuplexProtocol::sentenceText(durationOnly), std::nullopt);
    EXPECT_EQ(DuplexProtocol::billedDuration(durationOnly), 2) << "the duration is read without a text";
    EXPECT_EQ(DuplexProtocol::sentenceText(payloadOf(R"({"output":[]})")), std::nullopt);
    EXPECT_EQ(DuplexProtocol::billedDuration(payloadOf(R"({"usage":{"duration":1.5}})")), std::nullopt);
    EXPECT_EQ(DuplexProtocol::billedDuration(payloadOf(R"({"usage":{"duration":3e40}})")), std::nullopt)
        << "beyond 64 bits is refused, not converted";
    EXPECT_EQ(DuplexProtocol::billedDuration(payloadOf(R"({"usage":null})")), std::nullopt);
}

TEST(DuplexProtocol, ARecognitionTaskNamesTheLanguageOnlyWhenOneIsChosen)
{
    const QString id = DuplexProtocol::makeTaskId();
    const QByteArray automatic = DuplexProtocol::recognitionRunTaskFrame(id, QStringLiteral("fun-asr-realtime"));
    EXPECT_EQ(automatic, DuplexProtocol::recognitionRunTaskFrame(id, QStringLiteral("fun-asr-realtime"), QString()));
    EXPECT_EQ(automatic,
              QStringLiteral(R"({"header":{"action":"run-task","streaming":"duplex","task_id":"%1"},)"
                             R"("payload":{"function":"recognition","input":{},"model":"fun-asr-realtime",)"
                             R"("parameters":{"format":"pcm","heartbeat":true,"sample_rate":16000,)"
                             R"("semantic_punctuation_enabled":true},"task":"asr","task_group":"audio"}})")
                  .arg(id)
                  .toUtf8());
    for (const QString &language : {QStringLiteral("zh"), QStringLiteral("en"), QStringLiteral("ja")}) {
        const auto frame =
            DuplexProtocol::parse(DuplexProtocol::recognitionRunTaskFrame(id, QStringLiteral("fun-asr-realtime"), language));
        ASSERT_TRUE(frame && frame->payload);
        const QJsonObject parameters = frame->payload->value(QStringLiteral("parameters")).toObject();
        EXPECT_EQ(parameters.value(QStringLiteral("language_hints")).toArray(), QJsonArray{language});
        EXPECT_EQ(parameters.value(QStringLiteral("sample_rate")).toInt(), 16000);
    }
}

TEST(DuplexProtocol, AFailureWithoutAMessageIsUnknown)
{
    EXPECT_EQ(DuplexProtocol::errorMessage(payloadOf(R"({"error_message":"bad key"})")), QStringLiteral("bad key"));
    EXPECT_EQ(DuplexProtocol::errorMessage(payloadOf(R"({"error_message":42})")), QStringLiteral("未知错误"));
    EXPECT_EQ(DuplexProtocol::errorMessage(std::nullopt), QStringLiteral("未知错误"));
}

TEST(SocketErrors, APeerThatClosesIsQuietEverythingElseIsLoud)
{
    EXPECT_TRUE(SocketErrors::isQuiet(SocketErrors::fromSocket(QAbstractSocket::RemoteHostClosedError, {}).code));
    EXPECT_TRUE(SocketErrors::isQuiet(SocketErrors::fromSocket(QAbstractSocket::OperationError, {}).code));
    for (auto loud : {QAbstractSocket::ConnectionRefusedError, QAbstractSocket::HostNotFoundError,
                      QAbstractSocket::SocketTimeoutError, QAbstractSocket::NetworkError,
                      QAbstractSocket::SslHandshakeFailedError, QAbstractSocket::UnknownSocketError}) {
        const ServiceError error = SocketErrors::fromSocket(loud, QStringLiteral("why"));
        EXPECT_FALSE(SocketErrors::isQuiet(error.code)) << int(loud);
        EXPECT_EQ(error.description, QStringLiteral("why"));
    }
    EXPECT_TRUE(SocketErrors::isQuiet(0));
    EXPECT_TRUE(SocketErrors::isQuiet(53));
}

} // namespace
