#include "ChatRecords.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(ChatRecords, ARequestWritesItsMembersInOrderAndLeavesAbsentOnesOut)
{
    const QList<LLMMessage> messages{{QStringLiteral("system"), QStringLiteral("简短")}, {QStringLiteral("user"), QStringLiteral("你好")}};
    EXPECT_EQ(LLMRequest({QStringLiteral("qwen-plus"), messages, true, 0.7, 2048}).toJson(),
              QByteArray(R"({"model":"qwen-plus","messages":[{"role":"system","content":"简短"},)"
                         R"({"role":"user","content":"你好"}],"stream":true,"temperature":0.7,"max_tokens":2048})"));
    EXPECT_EQ(LLMRequest({QStringLiteral("m"), {}, false, std::nullopt, std::nullopt}).toJson(),
              QByteArray(R"({"model":"m","messages":[],"stream":false})"));
}

TEST(ChatRecords, ChunksDecodeWithTheServicesExtraMembersAndNullContents)
{
    const auto chunk = LLMResponse::fromJson(
        R"({"id":"c1","object":"chat.completion.chunk","created":1735000000,"model":"qwen-plus","request_id":"r",)"
        R"("system_fingerprint":null,"choices":[{"index":0,"delta":{"content":null,"reasoning_content":"想"},)"
        R"("finish_reason":null,"logprobs":null}],"usage":null})");
    ASSERT_TRUE(chunk);
    ASSERT_EQ(chunk->choices.size(), 1);
    ASSERT_TRUE(chunk->choices[0].delta);
    EXPECT_FALSE(chunk->choices[0].delta->content) << "null content is no content";
    EXPECT_FALSE(chunk->usage);

    const auto empty = LLMResponse::fromJson(R"({"id":"c","object":"o","created":1,"model":"m","choices":[{"index":0,"delta":{}}]})");
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty->choices[0].delta->role);
    EXPECT_FALSE(empty->choices[0].delta->content);

    const auto usage = LLMResponse::fromJson(
        R"({"id":"c","object":"o","created":1,"model":"m","choices":[],"usage":{"prompt_tokens":3,"completion_tokens":4,"total_tokens":7}})");
    ASSERT_TRUE(usage && usage->usage);
    EXPECT_EQ(usage->usage->total_tokens, 7);
}

TEST(ChatRecords, AMissingRequiredMemberFailsTheWholeResponse)
{
    const QByteArray base = R"({"id":"c","object":"o","created":1,"model":"m","choices":[]})";
    ASSERT_TRUE(LLMResponse::fromJson(base));
    for (const char *member : {"id", "object", "created", "model", "choices"}) {
        QByteArray without = base;
        const qsizetype at = without.indexOf(QByteArray("\"") + member + "\"");
        const qsizetype end = without.indexOf(member == std::string("choices") ? "]" : ",", at);
        without.remove(at, end - at + 1);
        if (without.endsWith(",}"))
            without.replace(",}", "}");
        EXPECT_FALSE(LLMResponse::fromJson(without)) << without.constData();
    }
    EXPECT_FALSE(LLMResponse::fromJson(
        R"({"id":"c","object":"o","created":1,"model":"m","choices":[],"usage":{"prompt_tokens":1,"completion_tokens":1}})"))
        << "usage needs all three counts";
    EXPECT_FALSE(LLMResponse::fromJson(R"({"id":"c","object":"o","created":"1","model":"m","choices":[]})"));
    EXPECT_FALSE(LLMResponse::fromJson(R"({"id":"c","object":"o","created":1,"model":"m","choices":[{"delta":{}}]})"))
        << "a choice needs its index";

    // Numbers beyond a 64-bit integer are refused, not converted (the
    // conversion was undefined and found by the fuzzer).
    EXPECT_FALSE(LLMResponse::fromJson(R"({"id":"c","object":"o","created":1.735e93,"model":"m","choices":[]})"));
    EXPECT_FALSE(LLMResponse::fromJson(R"({"id":"c","object":"o","created":9223372036854775808,"model":"m","choices":[]})"));
    EXPECT_FALSE(LLMResponse::fromJson(R"({"id":"c","object":"o","created":1,"model":"m","choices":[{"index":-1e300}]})"));
    const auto largest = LLMResponse::fromJson(R"({"id":"c","object":"o","created":-9223372036854775808,"model":"m","choices":[]})");
    ASSERT_TRUE(largest);
    EXPECT_EQ(largest->created, std::numeric_limits<qint64>::min());
}

TEST(ChatRecords, ErrorBodiesNeedAStringCode)
{
    const auto minimal = APIError::fromJson(R"({"error":{"message":"无效的 key"}})");
    ASSERT_TRUE(minimal);
    EXPECT_EQ(minimal->error.message, QStringLiteral("无效的 key"));
    const auto full = APIError::fromJson(
        R"({"error":{"message":"m","type":"invalid_request_error","param":null,"code":"invalid_api_key"},"request_id":"r"})");
    ASSERT_TRUE(full);
    EXPECT_EQ(full->error.code, QStringLiteral("invalid_api_key"));
    EXPECT_FALSE(APIError::fromJson(R"({"error":{"message":"m","code":401}})"));
    EXPECT_FALSE(APIError::fromJson(R"({"message":"m"})"));
    EXPECT_FALSE(APIError::fromJson("Internal Server Error"));
}

TEST(ChatRecords, AVisionRequestPutsTheImageBeforeTheText)
{
    const VLRequest request{QStringLiteral("qwen-vl-max"),
                            {VLMessage{QStringLiteral("system"), QStringLiteral("你是我")},
                             VLMessage{QStringLiteral("user"),
                                       QList<VLContentPart>{{QStringLiteral("image_url"), std::nullopt, VLImageURL{QStringLiteral("data:x")}},
                                                            {QStringLiteral("text"), QStringLiteral("回复"), std::nullopt}}}},
                            1024};
    EXPECT_EQ(request.toJson(),
              QByteArray(R"({"model":"qwen-vl-max","messages":[{"role":"system","content":"你是我"},)"
                         R"({"role":"user","content":[{"type":"image_url","image_url":{"url":"data:x"}},)"
                         R"({"type":"text","text":"回复"}]}],"max_tokens":1024})"));
}

} // namespace
