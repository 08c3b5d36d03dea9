#include "TranscriptAssembler.h"

#include <gtest/gtest.h>

namespace {

TEST(TranscriptAssembler, InterimResultsReplaceTheSentenceAndAnEndedSentenceIsKept)
{
    TranscriptAssembler transcript;
    EXPECT_EQ(transcript.addResult(QStringLiteral("第一"), false), QStringLiteral("第一"));
    EXPECT_EQ(transcript.addResult(QStringLiteral("第一句。"), true), QStringLiteral("第一句。"));
    EXPECT_EQ(transcript.addResult(QStringLiteral("第二"), false), QStringLiteral("第一句。第二"));
    EXPECT_EQ(transcript.addResult(QStringLiteral("第二句"), false), QStringLiteral("第一句。第二句"));
    EXPECT_EQ(transcript.addResult(QStringLiteral("第二句。"), true), QStringLiteral("第一句。第二句。"));
    EXPECT_EQ(transcript.segment(), QString());

    transcript.reset();
    EXPECT_EQ(transcript.transcript(), QString());
    EXPECT_EQ(transcript.addResult(QStringLiteral("新的"), false), QStringLiteral("新的"));
}

TEST(TranscriptAssembler, TheFinalTextEndsTheSentenceInProgressButNeverRepeatsAKeptOne)
{
    TranscriptAssembler transcript;
    transcript.addResult(QStringLiteral("甲。"), true);
    EXPECT_EQ(transcript.finish(QStringLiteral("甲。")), QStringLiteral("甲。")) << "the kept sentence, repeated";
    EXPECT_EQ(transcript.finish(QStringLiteral("乙。")), QStringLiteral("甲。乙。"));
    EXPECT_EQ(transcript.finish(std::nullopt), QStringLiteral("甲。"));
    EXPECT_EQ(transcript.finish(QString()), QStringLiteral("甲。")) << "an empty final text is no final text";

    transcript.addResult(QStringLiteral("甲"), false); // the same words again, still in progress
    EXPECT_EQ(transcript.finish(QStringLiteral("甲。")), QStringLiteral("甲。甲。"));
    EXPECT_EQ(transcript.finish(std::nullopt), QStringLiteral("甲。甲"));
}

TEST(TranscriptAssembler, AReconnectionKeepsTheSentenceInProgress)
{
    TranscriptAssembler transcript;
    EXPECT_FALSE(transcript.commitSegment()) << "nothing in progress";
    transcript.addResult(QStringLiteral("说到一半"), false);
    EXPECT_TRUE(transcript.commitSegment());
    EXPECT_EQ(transcript.committed(), QStringLiteral("说到一半"));
    // The new task knows nothing of it: its results follow it.
    EXPECT_EQ(transcript.addResult(QStringLiteral("接着说"), false), QStringLiteral("说到一半接着说"));
    EXPECT_EQ(transcript.finish(std::nullopt), QStringLiteral("说到一半接着说"));
}

} // namespace
