// The user's words kept: the fixed replacements applied to what was heard,
// the history file of takes and the takes' kept audio.
#include "TakeAudioFile.h"
#include "TakeHistory.h"
#include "TextReplacements.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

TEST(TextReplacements, ApplyInOrderEachOnceToWhatTheOnesBeforeLeft)
{
    using TextReplacements::apply;
    const QList<TextReplacement> list{{QStringLiteral("通义千问"), QStringLiteral("Qwen")},
                                      {QStringLiteral("千问"), QStringLiteral("Qwen")},
                                      {QStringLiteral("Qwen"), QStringLiteral("Qwen 3")},
                                      {QString(), QStringLiteral("never")},
                                      {QStringLiteral("ab"), QStringLiteral("abab")}};
    // The longer entry first wins over its overlap; the third sees what
    // the first two wrote (once, not again for its own result).
    EXPECT_EQ(apply(QStringLiteral("通义千问和千问"), list), QStringLiteral("Qwen 3和Qwen 3"));
    EXPECT_EQ(apply(QStringLiteral("ab ab"), list), QStringLiteral("abab abab")) << "a result is not matched again";
    EXPECT_EQ(apply(QString(), list), QString());
    EXPECT_EQ(apply(QStringLiteral("qwen"), list), QStringLiteral("qwen")) << "case counts";
    EXPECT_EQ(apply(QStringLiteral("千问"), {}), QStringLiteral("千问"));
}

class History : public ::testing::Test
{
protected:
    static TakeRecord take(const QString &text, const QString &ending = QString::fromLatin1(TakeRecord::kPasted))
    {
        return {QDateTime::fromMSecsSinceEpoch(1796600000000 + text.size(), Qt::UTC), AppMode::VoiceInput, text, {},
                ending, 420, {}, -1};
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("data/orvo/Quillwren/history.jsonl"));
    TakeHistory history{path};
};

TEST_F(History, KeepsEachTakeOnceNewestFirstInAFileOnlyTheUserReads)
{
    EXPECT_TRUE(history.newest().isEmpty()) << "no file yet";
    TakeRecord chat{QDateTime::fromMSecsSinceEpoch(1796600000000, Qt::UTC), AppMode::ChatAssistant,
                    QStringLiteral("今天天气怎么样？"), QStringLiteral("晴。\n适合出门！"), QString::fromLatin1(TakeRecord::kSpoken), 812,
                    {}, -1};
    TakeRecord failed = take(QStringLiteral("没说完"), QString::fromLatin1(TakeRecord::kFailed));
    failed.reason = QStringLiteral("识别错误：断开");
    ASSERT_TRUE(history.append(take(QStringLiteral("第一条"))));
    ASSERT_TRUE(history.append(failed));
    ASSERT_TRUE(history.append(chat));
    const QList<TakeRecord> newest = history.newest();
    ASSERT_EQ(newest.size(), 3);
    EXPECT_EQ(newest[0], chat);
    EXPECT_EQ(newest[1], failed) << "with why it failed";
    EXPECT_EQ(newest[2], take(QStringLiteral("第一条")));
    EXPECT_EQ(history.newest(1).size(), 1);

    struct stat info {};
    ASSERT_EQ(stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 4) << "one line a take, each ended";
    EXPECT_FALSE(lines[0].contains("reason")) << "only a take that did not come through has one";
    EXPECT_TRUE(lines[0].startsWith(R"({"time":"2026-)")) << lines[0].toStdString();

    ASSERT_TRUE(history.clear());
    EXPECT_TRUE(history.newest().isEmpty());
    ASSERT_TRUE(history.append(take(QStringLiteral("清空以后"))));
    EXPECT_EQ(history.newest().size(), 1);
}

TEST_F(History, KeepsTheNewestFiveHundred)
{
    for (int i = 0; i < TakeHistory::kLimit + 3; ++i)
        ASSERT_TRUE(history.append(take(QString::number(i))));
    const QList<TakeRecord> all = history.newest();
    ASSERT_EQ(all.size(), TakeHistory::kLimit);
    EXPECT_EQ(all.first().text, QString::number(TakeHistory::kLimit + 2));
    EXPECT_EQ(all.last().text, QStringLiteral("3"));
    struct stat info {};
    ASSERT_EQ(stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "the rewritten file too";
}

TEST_F(History, ALineCutShortByACrashIsSkippedAndTheFileStaysUsable)
{
    ASSERT_TRUE(history.append(take(QStringLiteral("完整的一条"))));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(R"({"time":"2026-12-07T10:00:00.000Z","mode":"voice_input","text":"写到一半)");
    }
    EXPECT_EQ(history.newest().size(), 1);
    ASSERT_TRUE(history.append(take(QStringLiteral("崩溃之后"))));
    const QList<TakeRecord> newest = history.newest();
    ASSERT_EQ(newest.size(), 2);
    EXPECT_EQ(newest[0].text, QStringLiteral("崩溃之后"));
    EXPECT_EQ(newest[1].text, QStringLiteral("完整的一条"));

    // Nor do lines that are not records stop the reading.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("not json\n{\"time\":\"yesterday\",\"mode\":\"voice_input\",\"text\":\"x\",\"ending\":\"pasted\",\"latencyMs\":1}\n");
    file.close();
    EXPECT_EQ(history.newest().size(), 2);
}

TEST_F(History, ARetriedTakeIsUpdatedWhereItStandsAndClearingRemovesTheAudio)
{
    ASSERT_TRUE(history.append(take(QStringLiteral("一"), QString::fromLatin1(TakeRecord::kFailed))));
    ASSERT_TRUE(history.append(take(QStringLiteral("第二"))));
    const TakeAudioFolder folder = history.audioFolder();
    EXPECT_EQ(folder.path(), dir.filePath(QStringLiteral("data/orvo/Quillwren/audio")));
    const QString audio = folder.newFile(QDateTime::currentDateTime());
    TakeAudioWriter writer;
    ASSERT_TRUE(writer.open(audio));
    ASSERT_TRUE(writer.write(QByteArray(3200, '\1')) && writer.finish());
    struct stat info {};
    ASSERT_EQ(stat(QFile::encodeName(folder.path()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    TakeRecord before = history.newest().last();
    TakeRecord after = before;
    after.text = QStringLiteral("一二三");
    after.ending = QString::fromLatin1(TakeRecord::kClipboard);
    after.audio = audio;
    after.audioMs = 100;
    ASSERT_TRUE(history.update(before, after));
    QList<TakeRecord> all = history.newest();
    ASSERT_EQ(all.size(), 2) << "updated, not added";
    EXPECT_EQ(all[1], after);
    EXPECT_EQ(all[0].text, QStringLiteral("第二"));
    QString error;
    before.time = before.time.addSecs(1);
    EXPECT_FALSE(history.update(before, after, &error));
    EXPECT_FALSE(error.isEmpty());

    ASSERT_TRUE(QFile::copy(audio, audio + QStringLiteral(".copy")));
    QFile::remove(audio);
    EXPECT_TRUE(history.newest()[1].audio.isEmpty()) << "audio no longer kept is not named";
    EXPECT_EQ(history.newest()[1].audioMs, -1);
    ASSERT_TRUE(QFile::rename(audio + QStringLiteral(".copy"), audio));
    ASSERT_TRUE(history.clear());
    EXPECT_FALSE(QFile::exists(audio));
}

TEST_F(History, TheKeptAudioIsBoundedOldestFirst)
{
    const TakeAudioFolder folder(dir.filePath(QStringLiteral("audio")));
    QStringList files;
    for (int i = 0; i < 5; ++i) {
        files << folder.newFile(QDateTime::fromMSecsSinceEpoch(1796600000000 + i * 1000, Qt::UTC));
        QFile file(files.last());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(1000, 'x'));
    }
    EXPECT_TRUE(folder.holds(files[0]));
    EXPECT_FALSE(folder.holds(dir.filePath(QStringLiteral("audio/other.flac"))));
    folder.prune({}, 4, 1 << 20);
    EXPECT_FALSE(QFile::exists(files[0])) << "the oldest goes first";
    EXPECT_TRUE(QFile::exists(files[1]));
    folder.prune(files[1], 10, 2500);
    EXPECT_TRUE(QFile::exists(files[1])) << "the take just kept stays";
    EXPECT_FALSE(QFile::exists(files[2]));
    EXPECT_FALSE(QFile::exists(files[3]));
    EXPECT_TRUE(QFile::exists(files[4]));
    EXPECT_TRUE(folder.clear());
    EXPECT_FALSE(QFile::exists(files[4]));
}

TEST_F(History, KeptAudioReadsBackSampleForSampleAndBadFilesAreClearErrors)
{
    // Three seconds of a changing signal, handed over in odd pieces.
    QByteArray pcm;
    for (int i = 0; i < 48000; ++i) {
        const auto sample = qint16((i * 37) % 20000 - 10000);
        pcm.append(char(sample & 0xff)).append(char((sample >> 8) & 0xff));
    }
    const QString path = dir.filePath(QStringLiteral("take.flac"));
    {
        TakeAudioWriter writer;
        ASSERT_TRUE(writer.open(path));
        for (qsizetype at = 0; at < pcm.size(); at += 3333)
            ASSERT_TRUE(writer.write(pcm.mid(at, 3333)));
        // Frames reach the file while the take runs: a crash now leaves them.
        QFile::copy(path, path + QStringLiteral(".crash"));
        ASSERT_TRUE(writer.finish());
        EXPECT_EQ(writer.lengthMs(), 3000);
    }
    struct stat info {};
    ASSERT_EQ(stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_LT(info.st_size, pcm.size()) << "smaller than the samples";
    std::optional<TakeAudio> audio = TakeAudio::read(path);
    ASSERT_TRUE(audio);
    EXPECT_EQ(audio->pcm, pcm);
    EXPECT_FALSE(audio->cutShort);

    audio = TakeAudio::read(path + QStringLiteral(".crash"));
    ASSERT_TRUE(audio) << "a take a crash cut short is readable";
    EXPECT_TRUE(audio->cutShort);
    EXPECT_GT(audio->pcm.size(), pcm.size() / 2);
    EXPECT_TRUE(pcm.startsWith(audio->pcm));

    QFile whole(path);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    QFile cut(dir.filePath(QStringLiteral("cut.flac")));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(whole.read(whole.size() / 2));
    cut.close();
    audio = TakeAudio::read(cut.fileName());
    ASSERT_TRUE(audio);
    EXPECT_TRUE(audio->cutShort);
    EXPECT_TRUE(pcm.startsWith(audio->pcm));

    QString error;
    QFile other(dir.filePath(QStringLiteral("other.flac")));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("RIFF....WAVEfmt ");
    other.close();
    EXPECT_FALSE(TakeAudio::read(other.fileName(), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("not a FLAC file"))) << error.toStdString();
    EXPECT_FALSE(TakeAudio::read(dir.filePath(QStringLiteral("missing.flac")), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("missing.flac")));
}

TEST_F(History, AFolderThatCannotBeMadeIsAnErrorNotACrash)
{
    QFile blocker(dir.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    TakeHistory blocked(dir.filePath(QStringLiteral("file/history.jsonl")));
    QString error;
    EXPECT_FALSE(blocked.append(take(QStringLiteral("x")), &error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
