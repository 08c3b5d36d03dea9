#include "SentenceCutter.h"

#include <gtest/gtest.h>

namespace {

QStringList cut(QString &buffer, const QString &more)
{
    buffer += more;
    return SentenceCutter::extractSentences(buffer);
}

TEST(SentenceCutter, ShortSentencesAreCarriedIntoTheNextAndTheEnderBelongsToItsSentence)
{
    QString buffer;
    EXPECT_TRUE(cut(buffer, QStringLiteral("你好！")).isEmpty()) << "three characters wait for the next sentence";
    EXPECT_EQ(buffer, QStringLiteral("你好！")) << "carried, not dropped";
    EXPECT_EQ(cut(buffer, QStringLiteral("今天天气很好。")), QStringList{QStringLiteral("你好！今天天气很好。")});
    EXPECT_EQ(buffer, QString());

    // Two short ones make a sentence once together they reach five characters.
    EXPECT_EQ(cut(buffer, QStringLiteral("好的。明天见！")), QStringList{QStringLiteral("好的。明天见！")});
    EXPECT_EQ(cut(buffer, QStringLiteral("嗯。对。好！行吗？")), QStringList{QStringLiteral("嗯。对。好！")});
    EXPECT_EQ(buffer, QStringLiteral("行吗？"));
    buffer.clear();
    EXPECT_TRUE(cut(buffer, QStringLiteral("今天晴。")).isEmpty());
    EXPECT_EQ(buffer, QStringLiteral("今天晴。")) << "left for the end of the answer";
    // A carried sentence counts towards the 80 characters.
    EXPECT_EQ(cut(buffer, QString(80, QChar(u'长'))), QStringList{QStringLiteral("今天晴。") + QString(76, QChar(u'长'))});
    buffer.clear();

    EXPECT_EQ(cut(buffer, QStringLiteral("Hello world! How")), QStringList{QStringLiteral("Hello world!")});
    EXPECT_EQ(buffer, QStringLiteral(" How")) << "the rest waits for more text";
    EXPECT_EQ(cut(buffer, QStringLiteral(" are you?")), QStringList{QStringLiteral("How are you?")});

    EXPECT_EQ(cut(buffer, QStringLiteral("第一行没有句号\n第二句话…然后")),
              (QStringList{QStringLiteral("第一行没有句号"), QStringLiteral("第二句话…")}));
    buffer.clear();
    EXPECT_TRUE(cut(buffer, QStringLiteral("Version 1.2, then; more")).isEmpty())
        << "full stops, commas and semicolons do not end a sentence";
}

TEST(SentenceCutter, TextWithoutEndersIsCutEveryEightyCharactersFirst)
{
    QString buffer;
    const QString text = QString(200, QChar(u'字'));
    const QStringList sentences = cut(buffer, text);
    ASSERT_EQ(sentences.size(), 2);
    EXPECT_EQ(sentences[0], QString(80, QChar(u'字')));
    EXPECT_EQ(buffer.size(), 40) << "the last 40 wait, to be spoken at the end of the answer";

    // The 80-character rule comes before the search for an ender.
    buffer = QStringLiteral("短句。") + QString(85, QChar(u'长'));
    const QStringList first = SentenceCutter::extractSentences(buffer);
    ASSERT_EQ(first.size(), 1);
    EXPECT_EQ(SentenceCutter::graphemeCount(first[0]), 80);
    EXPECT_TRUE(first[0].startsWith(QStringLiteral("短句。")));
}

TEST(SentenceCutter, LengthsCountWhatTheUserSeesAsOneCharacter)
{
    const QString family = QStringLiteral("👨‍👩‍👧"); // one grapheme of five code points
    EXPECT_EQ(SentenceCutter::graphemeCount(family + family), 2);
    QString buffer;
    for (int i = 0; i < 79; ++i)
        buffer += family;
    EXPECT_TRUE(SentenceCutter::extractSentences(buffer).isEmpty()) << "79 characters wait for more";
    buffer += family;
    const QStringList sentences = SentenceCutter::extractSentences(buffer);
    ASSERT_EQ(sentences.size(), 1);
    EXPECT_EQ(SentenceCutter::graphemeCount(sentences[0]), 80);
    EXPECT_TRUE(buffer.isEmpty()) << "no character is split";

    buffer = family + QStringLiteral("🙂🙂🙂！"); // five characters with the ender
    EXPECT_EQ(SentenceCutter::extractSentences(buffer).size(), 1);
}

} // namespace
