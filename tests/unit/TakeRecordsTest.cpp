// What the controller tells the history about each take, and the user's
// replacements applied to what was heard before it is typed or asked.
#include "ControllerFixture.h"
#include "HistoryRetry.h"
#include "TakeAudioFile.h"
#include "TakeAudioKeeper.h"
#include "TakeHistory.h"

#include <QDir>
#include <QTemporaryDir>

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

TEST_F(TakeRecords, ATakeWithoutWordsIsRecordedOnlyWhenItFailedOrWasCancelledAndAFailedAnswerIsMarkedFailed)
{
    recognizer.transcript.clear();
    take(ModifierMask::Option);
    EXPECT_TRUE(records.isEmpty()) << "nothing said, nothing wrong: nothing to keep";
    activate(ModifierMask::Option); // cancelled before it had words
    source.key(23);
    keys->runTasks();
    ASSERT_TRUE(waitUntil([this] { return idle(); }));
    release();
    ASSERT_EQ(records.size(), 1) << "a cancelled take can be sent again";
    EXPECT_EQ(records[0].ending, QLatin1String(TakeRecord::kCancelled));
    EXPECT_TRUE(records[0].text.isEmpty());
    EXPECT_TRUE(records[0].audio.isEmpty()) << "no audio is kept without a keeper";
    records.clear();

    recognizer.transcript = QStringLiteral("有人吗？");
    service.streamError = ServiceError::apiKeyMissing();
    take(ModifierMask::Control);
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].ending, QLatin1String(TakeRecord::kFailed));
    EXPECT_TRUE(records[0].answer.isEmpty());
}

class KeptAudio : public TakeRecords
{
protected:
    void SetUp() override
    {
        TakeRecords::SetUp();
        audioKeeper = &keeper;
        makeController();
        QObject::connect(controller.get(), &AppViewModel::takeRecorded,
                         [this](const TakeRecord &record) { records << record; });
    }

    void keep(const QString &which, bool history = true)
    {
        AppConfig config = settings.loadAppConfig();
        config.keepAudio = which;
        config.keepHistory = history;
        settings.saveAppConfig(config);
    }

    // A take that hears pcm; cancelled by a combination, or released.
    void takeHearing(const QByteArray &pcm, bool cancel = false)
    {
        activate(ModifierMask::Option);
        recognizer.hear(pcm.left(1000));
        recognizer.hear(pcm.mid(1000));
        if (cancel) {
            source.key(23);
            keys->runTasks();
        }
        release();
        ASSERT_TRUE(waitUntil([this] { return idle(); }));
    }

    QStringList files() const { return QDir(folder.path()).entryList(QDir::Files); }

    QTemporaryDir folder;
    TakeAudioKeeper keeper{TakeAudioFolder(folder.path())};
    const QByteArray speech = QByteArray::fromRawData("\x10\x00\xf0\xff\x00\x40", 6).repeated(1600); // 300 ms
};

TEST_F(KeptAudio, IsKeptForTakesThatFailedOrWereCancelledOrLostTheirConnectionAsTheSettingSays)
{
    takeHearing(speech);
    ASSERT_EQ(records.size(), 1);
    EXPECT_TRUE(records[0].audio.isEmpty()) << "a take that went well keeps no audio by default";
    EXPECT_TRUE(files().isEmpty());

    // The connection dropped and came back: the words may miss a part.
    recognizer.troubleConnection();
    takeHearing(speech);
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[1].ending, QLatin1String(TakeRecord::kPasted));
    ASSERT_FALSE(records[1].audio.isEmpty());
    EXPECT_EQ(records[1].audioMs, 300);
    const std::optional<TakeAudio> kept = TakeAudio::read(records[1].audio);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->pcm, speech) << "sample for sample";
    EXPECT_FALSE(kept->cutShort);

    recognizer.transcript.clear();
    takeHearing(speech, true);
    ASSERT_EQ(records.size(), 3);
    EXPECT_EQ(records[2].ending, QLatin1String(TakeRecord::kCancelled));
    EXPECT_EQ(records[2].audioMs, 300) << "a cancelled take without words is kept with its audio";
    EXPECT_EQ(files().size(), 2);

    recognizer.transcript = QStringLiteral("都留着");
    keep(QStringLiteral("all"));
    takeHearing(speech);
    EXPECT_FALSE(records.last().audio.isEmpty());
    keep(QStringLiteral("none"));
    takeHearing(speech, true);
    EXPECT_TRUE(records.last().audio.isEmpty());
    keep(QStringLiteral("all"), false);
    takeHearing(speech, true);
    EXPECT_TRUE(records.last().audio.isEmpty()) << "nothing is kept while the history is off";
    EXPECT_EQ(files().size(), 3);
}

TEST_F(KeptAudio, ATakeThatCouldNotStartRecordsWithoutTheServiceAndIsKept)
{
    std::optional<RunEnding> told;
    QObject::connect(controller.get(), &AppViewModel::runEnded, [&told](const RunEnding &ending) { told = ending; });
    recognizer.startResult = ServiceError{QStringLiteral("ConnectionError"), -1, QStringLiteral("无法连接")};
    activate(ModifierMask::Option);
    ASSERT_TRUE(waitUntil([this] { return recognizer.offlineRecordings == 1; }));
    recognizer.hear(speech);
    release();
    ASSERT_TRUE(waitUntil([this] { return idle(); }));
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].ending, QLatin1String(TakeRecord::kFailed));
    EXPECT_EQ(records[0].audioMs, 300);
    EXPECT_TRUE(records[0].reason.contains(QStringLiteral("无法连接"))) << records[0].reason.toStdString();
    ASSERT_TRUE(told);
    EXPECT_FALSE(told->detail.contains(QStringLiteral("未能保存"))) << "the audio was kept";

    // The same take where its audio cannot be kept (a folder that cannot be
    // made, as on a full disk): the failure says what was said is lost too.
    TakeAudioKeeper unwritable{TakeAudioFolder(QStringLiteral("/dev/null/quillwren-audio"))};
    audioKeeper = &unwritable;
    makeController();
    QObject::connect(controller.get(), &AppViewModel::runEnded, [&told](const RunEnding &ending) { told = ending; });
    QObject::connect(controller.get(), &AppViewModel::takeRecorded, [this](const TakeRecord &record) { records << record; });
    told.reset();
    recognizer.startResult = ServiceError{QStringLiteral("ConnectionError"), -1, QStringLiteral("无法连接")};
    activate(ModifierMask::Option);
    ASSERT_TRUE(waitUntil([this] { return recognizer.offlineRecordings == 2; }));
    recognizer.hear(speech);
    release();
    ASSERT_TRUE(waitUntil([this] { return idle(); }));
    ASSERT_TRUE(told);
    EXPECT_EQ(told->kind, RunEnding::Kind::Failed);
    EXPECT_TRUE(told->detail.contains(QStringLiteral("本次录音也未能保存"))) << told->detail.toStdString();
    EXPECT_TRUE(told->detail.startsWith(QStringLiteral("实时识别启动失败：无法连接"))) << "the failure itself is still said";
    ASSERT_EQ(records.size(), 2) << "the take is in the history all the same";
    EXPECT_TRUE(records[1].audio.isEmpty());
}

TEST_F(KeptAudio, ARetryTakesOnlyATakeOfTheHistoryWithItsOwnKeptAudio)
{
    const QString historyPath = folder.filePath(QStringLiteral("history.jsonl"));
    HistoryRetry retry(*controller, historyPath);
    const auto outcome = [](QCoro::Task<TakeRetry::Outcome> task) {
        std::optional<TakeRetry::Outcome> result;
        // Named, so that its captures outlive the wait.
        const auto await = [&]() -> QCoro::Task<> { result = co_await std::move(task); };
        const QCoro::Task<> awaiting = await();
        EXPECT_TRUE(waitUntil([&] { return result.has_value(); }));
        return result.value_or(TakeRetry::Outcome{});
    };
    EXPECT_EQ(outcome(retry.retry(0)).status, QStringLiteral("没有保存了音频的失败或取消的录音"));
    EXPECT_EQ(outcome(retry.retry(5)).status, QStringLiteral("历史记录中没有第 5 条"));

    // A line edited to name a file of the user's: neither read nor removed.
    const QString elsewhere = folder.filePath(QStringLiteral("mine.flac"));
    TakeAudioWriter writer;
    ASSERT_TRUE(writer.open(elsewhere) && writer.write(speech) && writer.finish());
    const TakeRecord edited{QDateTime::currentDateTime(), AppMode::VoiceInput, {}, {},
                            QString::fromLatin1(TakeRecord::kFailed), -1, elsewhere, 300};
    ASSERT_TRUE(TakeHistory(historyPath).append(edited));
    const TakeRetry::Outcome refused = outcome(retry.retry(1));
    EXPECT_FALSE(refused.succeeded);
    EXPECT_TRUE(refused.status.contains(QStringLiteral("not one of the kept takes"))) << refused.status.toStdString();
    EXPECT_TRUE(QFile::exists(elsewhere));
    EXPECT_EQ(TakeHistory(historyPath).newest().first(), edited) << "left as it was";
}

} // namespace
