#include "ChatAssistantPipeline.h"
#include "FakeClipPlayer.h"
#include "FakeModelService.h"
#include "Prompts.h"
#include "Scheduler.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using TestSupport::waitUntil;

namespace {

class ChatPipeline : public ::testing::Test
{
protected:
    // Starts a run; the statuses it shows are collected.
    void start(const QString &question)
    {
        finalStatus.reset();
        [](ChatPipeline *self, QString question) -> QCoro::Task<> {
            const RunEnding ending = co_await self->pipeline.run(question, AppConfig(),
                                                                 [self](const QString &s) { self->statuses << s; });
            self->finalKind = ending.kind;
            self->finalStatus = ending.status;
        }(this, question);
    }

    QString ask(const QString &question)
    {
        start(question);
        EXPECT_TRUE(waitUntil([this] { return finalStatus.has_value(); }));
        return finalStatus.value_or(QString());
    }

    TestSupport::LogCapture log;
    FakeModelService service;
    FakeClipPlayer player;
    QObject context;
    QtScheduler scheduler{&context};
    ChatAssistantPipeline pipeline{service, player, scheduler};
    QStringList statuses;
    std::optional<QString> finalStatus;
    RunEnding::Kind finalKind = RunEnding::Kind::Done;
};

TEST_F(ChatPipeline, ShortSentencesAreSpokenWithTheNextAndTheWholeAnswerIsKept)
{
    service.chunks = {QStringLiteral("你好！"), QStringLiteral("今天天气很好。")};
    EXPECT_EQ(ask(QStringLiteral("天气怎么样")), QStringLiteral("回复已完成"));
    EXPECT_EQ(player.played, QStringList{QStringLiteral("你好！今天天气很好。")});
    EXPECT_EQ(statuses, (QStringList{QStringLiteral("正在思考..."), QStringLiteral("正在回复...")}));
    ASSERT_EQ(pipeline.history().size(), 2);
    EXPECT_EQ(pipeline.history()[1], (LLMMessage{QStringLiteral("assistant"), QStringLiteral("你好！今天天气很好。")}));
}

TEST_F(ChatPipeline, AShortAnswerIsHeardWhole)
{
    const struct {
        QStringList chunks;
        QStringList spoken;
    } cases[] = {
        {{QStringLiteral("今天晴。")}, {QStringLiteral("今天晴。")}},
        {{QStringLiteral("好的。"), QStringLiteral("明天见！")}, {QStringLiteral("好的。明天见！")}},
        {{QStringLiteral("好的。明"), QStringLiteral("天见！")}, {QStringLiteral("好的。明天见！")}},
        {{QStringLiteral("没问题呀")}, {QStringLiteral("没问题呀")}},
        {{QStringLiteral("第一句话在这里。"), QStringLiteral("好。")},
         {QStringLiteral("第一句话在这里。"), QStringLiteral("好。")}},
    };
    for (const auto &c : cases) {
        player.played.clear();
        finalStatus.reset();
        service.chunks = c.chunks;
        EXPECT_EQ(ask(QStringLiteral("问")), QStringLiteral("回复已完成")) << c.chunks.join(u'|').toStdString();
        EXPECT_EQ(player.played, c.spoken) << c.chunks.join(u'|').toStdString();
    }
}

TEST_F(ChatPipeline, ClipsPlayInSentenceOrderWhateverOrderTheirSynthesisEnds)
{
    service.holdSyntheses = true;
    service.chunks = {QStringLiteral("第一句话在这里。第二句"), QStringLiteral("话在这里。第三句话在这里。"),
                      QStringLiteral("好")};
    start(QStringLiteral("讲三句"));
    ASSERT_TRUE(waitUntil([this] { return service.syntheses.size() == 4; })) << "all at once, the short rest too";
    EXPECT_EQ(service.syntheses[3].text, QStringLiteral("好"));
    service.answerSynthesis(QStringLiteral("好"));
    service.answerSynthesis(QStringLiteral("第三句话在这里。"));
    service.answerSynthesis(QStringLiteral("第二句话在这里。"));
    TestSupport::settle(50);
    EXPECT_TRUE(player.played.isEmpty()) << "nothing plays before the first sentence";
    EXPECT_EQ(statuses, QStringList{QStringLiteral("正在思考...")});
    service.answerSynthesis(QStringLiteral("第一句话在这里。"));
    ASSERT_TRUE(waitUntil([this] { return finalStatus.has_value(); }));
    EXPECT_EQ(player.played, (QStringList{QStringLiteral("第一句话在这里。"), QStringLiteral("第二句话在这里。"),
                                          QStringLiteral("第三句话在这里。"), QStringLiteral("好")}));
}

TEST_F(ChatPipeline, ASentencePlaysFromItsFirstAudioAndOneCutShortKeepsWhatCame)
{
    service.holdSyntheses = true;
    service.chunks = {QStringLiteral("第一句话在这里。第二句话在这里。")};
    start(QStringLiteral("讲两句"));
    ASSERT_TRUE(waitUntil([this] { return service.syntheses.size() == 2; }));
    service.answerSynthesis(QStringLiteral("第二句话在这里。"));
    service.sendSynthesis(QStringLiteral("第一句话在这里。"), QStringLiteral("第一"));
    ASSERT_TRUE(waitUntil([this] { return !player.startedWith.isEmpty(); }));
    EXPECT_EQ(player.startedWith, QStringList{QStringLiteral("第一")}) << "it started on its first audio";
    EXPECT_EQ(statuses.last(), QStringLiteral("正在回复..."));
    service.sendSynthesis(QStringLiteral("第一句话在这里。"), QStringLiteral("句话"));
    service.failSynthesis(QStringLiteral("第一句话在这里。"));
    ASSERT_TRUE(waitUntil([this] { return finalStatus.has_value(); }));
    EXPECT_EQ(player.played, (QStringList{QStringLiteral("第一句话"), QStringLiteral("第二句话在这里。")}))
        << "what came of the first is heard, then the second";
    EXPECT_EQ(*finalStatus, QStringLiteral("回复中断：TTS 连接中断")) << "an answer not heard whole is not finished";
    EXPECT_EQ(pipeline.history().last().content, QStringLiteral("第一句话在这里。第二句话在这里。"));
}

TEST_F(ChatPipeline, AFailedSynthesisOrAnUnplayableClipIsSkippedAndTheRestPlays)
{
    // The rest is spoken, but an answer with a sentence missing is not a
    // finished one.
    service.chunks = {QStringLiteral("第一句话在这里。第二句话在这里。第三句话在这里。第四句话在这里。")};
    service.failingSyntheses = {QStringLiteral("第二句话在这里。")};
    player.clipMs = 5;
    EXPECT_EQ(ask(QStringLiteral("问题")), QStringLiteral("回复中断：TTS 任务失败"));
    EXPECT_EQ(player.played, (QStringList{QStringLiteral("第一句话在这里。"), QStringLiteral("第三句话在这里。"),
                                          QStringLiteral("第四句话在这里。")}));
    EXPECT_FALSE(log.linesStartingWith(QStringLiteral("⚠️ [TTS-流水线] 第 1 句合成失败，跳过：")).isEmpty());

    service.failingSyntheses.clear();
    player.played.clear();
    // A clip that starts but fails to decode, then one that cannot start.
    service.chunks = {QStringLiteral("broken"), QStringLiteral("。"), QStringLiteral("undecodable!"),
                      QStringLiteral("最后一句可以播放。")};
    EXPECT_EQ(ask(QStringLiteral("问题")), QStringLiteral("回复中断：音频解码错误"));
    EXPECT_EQ(player.played, (QStringList{QStringLiteral("broken。"), QStringLiteral("最后一句可以播放。")}));
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("⚠️ [播放] 第 0 句播放失败：音频解码错误")).size(), 1);
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("⚠️ [播放] 第 1 句播放失败：")).size(), 1);
}

TEST_F(ChatPipeline, AnAnswerThatFailsBeforeAnyTextIsAFailureAndKeepsTheQuestion)
{
    service.streamError = ServiceError::apiKeyMissing();
    EXPECT_EQ(ask(QStringLiteral("有人吗")), QStringLiteral("回复失败：请先配置 API Key"));
    EXPECT_EQ(finalKind, RunEnding::Kind::Failed);
    EXPECT_TRUE(player.played.isEmpty());
    EXPECT_EQ(pipeline.history(), (QList<LLMMessage>{{QStringLiteral("user"), QStringLiteral("有人吗")}}));

    // Broken off midway: what came is spoken and kept, and the status says
    // the answer was cut rather than finished.
    service.chunks = {QStringLiteral("说到一半")};
    service.streamError = ServiceError{QStringLiteral("QNetworkReply"), 2, QStringLiteral("Connection closed")};
    EXPECT_EQ(ask(QStringLiteral("再说一次")), QStringLiteral("回复中断：Connection closed"));
    EXPECT_EQ(finalKind, RunEnding::Kind::Failed) << "a cut answer is not a finished one";
    EXPECT_EQ(player.played, QStringList{QStringLiteral("说到一半")});
    EXPECT_EQ(pipeline.history().last(), (LLMMessage{QStringLiteral("assistant"), QStringLiteral("说到一半")}));
}

TEST_F(ChatPipeline, TheHistoryKeepsTheNewestTenMessagesBehindTheSystemPrompt)
{
    for (int i = 1; i <= 7; ++i) {
        service.chunks = {QStringLiteral("回答%1。").arg(i)};
        ask(QStringLiteral("问题%1").arg(i));
        if (i == 6) {
            EXPECT_EQ(pipeline.history().size(), 10) << "twelve messages cut to the newest ten";
        }
    }
    const QList<LLMMessage> seventh = service.chatRequests.last();
    ASSERT_EQ(seventh.size(), 12);
    EXPECT_EQ(seventh.first(), (LLMMessage{QStringLiteral("system"), Prompts::chatSystemPrompt()}));
    EXPECT_EQ(seventh[1].content, QStringLiteral("问题2"));
    EXPECT_EQ(seventh.last(), (LLMMessage{QStringLiteral("user"), QStringLiteral("问题7")}));
}

} // namespace
