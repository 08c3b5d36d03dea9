// What the controller tells the history about each take, and the user's
// replacements applied to what was heard before it is typed or asked.
#include "ControllerFixture.h"

#include <gtest/gtest.h>

using TestSupport::waitUntil;

namespace {

class TakeRecords : public ControllerFixture
{
protected:
    void SetUp() override
    {
        desktop.screenImage = QImage(1280, 720, QImage::Format_RGB32);
        desktop.screenImage.fill(Qt::white);
        AppConfig config = settings.loadAppConfig();
        config.replacements = {{QStringLiteral("千问"), QStringLiteral("Qwen")},
                               {QStringLiteral("Qwen助手"), QStringLiteral("Quillwren")}};
        settings.saveAppConfig(config);
        makeController();
        QObject::connect(controller.get(), &AppViewModel::takeRecorded,
                         [this](const TakeRecord &record) { records << record; });
    }

    void take(std::uint64_t key)
    {
        activate(key);
        release();
        ASSERT_TRUE(waitUntil([this] { return idle(); }));
    }

    QList<TakeRecord> records;
};

TEST_F(TakeRecords, EachTakeWithWordsIsRecordedOnceWithHowItEnded)
{
    recognizer.transcript = QStringLiteral("打开千问助手");
    take(ModifierMask::Option);
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].mode, AppMode::VoiceInput);
    EXPECT_EQ(records[0].text, QStringLiteral("打开Quillwren")) << "the replacements, in order, before the paste";
    EXPECT_EQ(desktop.pastes.last().text, QStringLiteral("打开Quillwren"));
    EXPECT_EQ(records[0].ending, QLatin1String(TakeRecord::kPasted));
    EXPECT_GE(records[0].latencyMs, 0);
    EXPECT_TRUE(records[0].answer.isEmpty());

    desktop.pasteWorks = false;
    take(ModifierMask::Option);
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[1].ending, QLatin1String(TakeRecord::kClipboard));
    desktop.pasteWorks = true;

    recognizer.transcript = QStringLiteral("千问是什么？");
    service.chunks = {QStringLiteral("一个模型。")};
    take(ModifierMask::Control);
    ASSERT_EQ(records.size(), 3);
    EXPECT_EQ(records[2].mode, AppMode::ChatAssistant);
    EXPECT_EQ(records[2].text, QStringLiteral("Qwen是什么？"));
    EXPECT_EQ(service.chatRequests.last().last().content, QStringLiteral("Qwen是什么？")) << "the question asked";
    EXPECT_EQ(records[2].answer, QStringLiteral("一个模型。"));
    EXPECT_EQ(records[2].ending, QLatin1String(TakeRecord::kSpoken));

    take(ModifierMask::Command);
    ASSERT_EQ(records.size(), 4);
    EXPECT_EQ(records[3].mode, AppMode::BffReply);
    EXPECT_EQ(records[3].text, QStringLiteral("好的，我这就过去！"));
    EXPECT_EQ(records[3].ending, QLatin1String(TakeRecord::kPasted));
}

TEST_F(TakeRecords, ATakeWithoutWordsIsNotRecordedAndAFailedAnswerIsMarkedFailed)
{
    recognizer.transcript.clear();
    take(ModifierMask::Option);
    activate(ModifierMask::Option); // cancelled before it had words
    source.key(23);
    keys->runTasks();
    ASSERT_TRUE(waitUntil([this] { return idle(); }));
    release();
    EXPECT_TRUE(records.isEmpty());

    recognizer.transcript = QStringLiteral("有人吗？");
    service.streamError = ServiceError::apiKeyMissing();
    take(ModifierMask::Control);
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].ending, QLatin1String(TakeRecord::kFailed));
    EXPECT_TRUE(records[0].answer.isEmpty());
}

} // namespace
