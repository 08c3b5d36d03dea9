#include "AudioRecorderService.h"
#include "TestSupport.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(AudioRecorderService, FailuresArePublishedAndACancelResetsAndDeletesTheFile)
{
    AudioRecorderService recorder;
    QStringList events;
    QObject::connect(&recorder, &AudioRecorderService::recordingStateChanged, [&](const RecordingState &state) {
        events << (state.isError() ? state.errorMessage() : QStringLiteral("idle"));
    });

    recorder.recorderDidFinish(true);
    TestSupport::settle(20);
    EXPECT_TRUE(events.isEmpty()) << "a successful finish changes nothing";

    recorder.recorderEncodeErrorDidOccur(QStringLiteral("磁盘已满"));
    EXPECT_TRUE(events.isEmpty()) << "published on the main loop, not from the recorder's call";
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !events.isEmpty(); }));
    EXPECT_EQ(events, QStringList{QStringLiteral("编码错误：磁盘已满")});

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("take.wav"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    recorder.setRecordingPath(path);
    recorder.cancelRecording();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_FALSE(recorder.recordingPath());
    EXPECT_EQ(recorder.recordingState(), RecordingState::idle());
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_EQ(recorder.audioLevel(), 0.0f);

    recorder.recorderEncodeErrorDidOccur(std::nullopt);
    recorder.recorderDidFinish(false);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return events.size() == 4; }));
    EXPECT_EQ(events.mid(2), (QStringList{QStringLiteral("编码错误"), QStringLiteral("录音未能完成")}));

    recorder.cancelRecording(); // nothing to stop or delete
    EXPECT_EQ(recorder.recordingState(), RecordingState::idle());
}

} // namespace
