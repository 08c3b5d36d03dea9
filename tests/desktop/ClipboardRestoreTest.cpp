// With the clipboard given back: whatever another application had on the
// clipboard before a dictation (an image, HTML) is there again once the
// target has pasted the dictated text; something copied in the meantime is
// left alone.
#include "PasteTarget.h"
#include "RunningApplication.h"

#include <QBuffer>
#include <QImage>

using TestSupport::runTool;
using TestSupport::waitUntil;

namespace {

const QString kHeard = QStringLiteral("你好，这是本地替身服务的识别结果。");

class ClipboardRestore : public RunningApplication
{
protected:
    void SetUp() override
    {
        RunningApplication::SetUp();
        ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("restoreClipboard"),
                       QStringLiteral("true")}).exitCode, 0);
    }

    // Another application (xclip, staying in the background) owns the
    // clipboard, offering these bytes as this type.
    void ownClipboard(const QString &type, const QByteArray &bytes)
    {
        const QString file = dir.filePath(QStringLiteral("clip-%1").arg(++m_clips));
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        out.close();
        ASSERT_EQ(runTool(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                                    QStringLiteral("-t"), type, QStringLiteral("-i"), file}),
                  0);
        ASSERT_TRUE(waitUntil([&] { return clipboardAs(type) == bytes; }, 3000));
    }

    // The clipboard's content in this type, as another process reads it.
    QByteArray clipboardAs(const QString &type)
    {
        QProcess xclip;
        xclip.setProcessEnvironment(env);
        xclip.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                                              type, QStringLiteral("-o")});
        xclip.waitForFinished(3000);
        return xclip.readAllStandardOutput();
    }

private:
    int m_clips = 0;
};

TEST_F(ClipboardRestore, AnImageOrHtmlIsBackOnceTheTargetHasTheText)
{
    QImage image(16, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    image.save(&buffer, "PNG");
    ownClipboard(QStringLiteral("image/png"), png);
    {
        PasteTarget target(env);
        holdAndSpeak(QStringLiteral("alt"));
        ASSERT_TRUE(waitUntil([&] { return !target.text().isEmpty(); }, 10000)) << "nothing was typed";
        EXPECT_EQ(target.text(), kHeard) << "the restore waited for the target to take the text";
        EXPECT_TRUE(waitUntil([&] { return clipboardAs(QStringLiteral("image/png")) == png; }, 3000))
            << "the picture did not come back";
        EXPECT_TRUE(loggedSoon(QStringLiteral("📋 [剪贴板] 目标已取走文本，剪贴板原内容已恢复")));
        EXPECT_TRUE(waitUntil([this] { return idleWith(QStringLiteral("文本已输入")); }, 5000));
    }

    const QByteArray html = QStringLiteral("<b>加粗的</b> text").toUtf8();
    ownClipboard(QStringLiteral("text/html"), html);
    PasteTarget target(env);
    holdAndSpeak(QStringLiteral("alt"));
    ASSERT_TRUE(waitUntil([&] { return !target.text().isEmpty(); }, 10000)) << "nothing was typed";
    EXPECT_EQ(target.text(), kHeard);
    EXPECT_TRUE(waitUntil([&] { return clipboardAs(QStringLiteral("text/html")) == html; }, 3000));
}

TEST_F(ClipboardRestore, SomethingCopiedMeanwhileIsLeftAlone)
{
    ownClipboard(QStringLiteral("UTF8_STRING"), QStringLiteral("早先复制的").toUtf8());
    // xterm pastes the primary selection: it never asks for the clipboard,
    // so the restore waits its longest, and the user copies meanwhile.
    QProcess xterm;
    openFocusedXterm(xterm, QStringLiteral("stty raw -echo; exec cat > /dev/null"));
    holdAndSpeak(QStringLiteral("alt"));
    ASSERT_TRUE(loggedSoon(QStringLiteral("使用 Shift+Insert")));
    ownClipboard(QStringLiteral("UTF8_STRING"), QStringLiteral("后来复制的").toUtf8());
    ASSERT_TRUE(waitUntil([this] { return idleWith(QStringLiteral("文本已输入")); }, 6000));
    EXPECT_EQ(QString::fromUtf8(clipboardAs(QStringLiteral("UTF8_STRING"))), QStringLiteral("后来复制的"));
    EXPECT_FALSE(logged(QStringLiteral("剪贴板原内容已恢复")));
    xterm.kill();
    xterm.waitForFinished(3000);
}

} // namespace
