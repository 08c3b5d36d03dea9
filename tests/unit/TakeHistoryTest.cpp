// The user's words kept: the fixed replacements applied to what was heard,
// and the history file of takes.
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
                ending, 420};
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("data/orvo/Quillwren/history.jsonl"));
    TakeHistory history{path};
};

TEST_F(History, KeepsEachTakeOnceNewestFirstInAFileOnlyTheUserReads)
{
    EXPECT_TRUE(history.newest().isEmpty()) << "no file yet";
    TakeRecord chat{QDateTime::fromMSecsSinceEpoch(1796600000000, Qt::UTC), AppMode::ChatAssistant,
                    QStringLiteral("今天天气怎么样？"), QStringLiteral("晴。\n适合出门！"), QString::fromLatin1(TakeRecord::kSpoken), 812};
    ASSERT_TRUE(history.append(take(QStringLiteral("第一条"))));
    ASSERT_TRUE(history.append(chat));
    const QList<TakeRecord> newest = history.newest();
    ASSERT_EQ(newest.size(), 2);
    EXPECT_EQ(newest[0], chat);
    EXPECT_EQ(newest[1], take(QStringLiteral("第一条")));
    EXPECT_EQ(history.newest(1).size(), 1);

    struct stat info {};
    ASSERT_EQ(stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 3) << "one line a take, each ended";
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
