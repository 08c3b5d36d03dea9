#include "Log.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(Log, MaskShowsFourAndFourOnlyFromNineCharacters)
{
    EXPECT_EQ(Log::maskApiKey(QStringLiteral("sk-1234567890abcdef")), QStringLiteral("sk-1****cdef"));
    EXPECT_EQ(Log::maskApiKey(QStringLiteral("123456789")), QStringLiteral("1234****6789"));
    EXPECT_EQ(Log::maskApiKey(QStringLiteral("12345678")), QStringLiteral("****"));
    EXPECT_EQ(Log::maskApiKey(QString()), QStringLiteral("****"));
    // Characters outside the basic plane are never cut in half.
    EXPECT_EQ(Log::maskApiKey(QStringLiteral("😀😀😀😀x😀😀😀😀")), QStringLiteral("😀😀😀😀****😀😀😀😀"));
    EXPECT_EQ(Log::maskApiKey(QStringLiteral("😀😀😀😀😀😀😀😀")), QStringLiteral("****"));
}

TEST(Log, OneEventIsOneLine)
{
    TestSupport::LogCapture capture;
    Log::line(QStringLiteral("❌ [Test] 第一行\n第二行\r\n第三行"));
    Log::line(QStringLiteral("✅ [Test] 完成"));
    EXPECT_EQ(capture.lines(), (QStringList{QStringLiteral("❌ [Test] 第一行 第二行 第三行"),
                                            QStringLiteral("✅ [Test] 完成")}));
}

} // namespace
