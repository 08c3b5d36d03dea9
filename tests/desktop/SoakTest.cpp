// The running application through 200 presses of its three modes while the
// stand-in plays one fault after another: it never sticks in a mode, leaks
// no sockets, files or memory, and loses nothing the user said.
#include "PasteTarget.h"
#include "RunningApplication.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>

using TestSupport::runTool;
using TestSupport::settle;
using TestSupport::waitUntil;

namespace {

constexpr int kCycles = 200;
const char *const kKeys[] = {"alt", "ctrl", "super"}; // dictation, chat, reply
const char *const kFaults[] = {"",          "never-answer", "close-after",   "task-failed",
                               "http-error", "malformed",    "split-packets", "slow"};
constexpr int kFaultCount = int(std::size(kFaults));

// The scenario of one press: a sentence of its own to recognise, and the
// fault played where that mode meets the service.
QByteArray scenarioFor(int cycle, const QString &sentence)
{
    const QString fault = QString::fromLatin1(kFaults[(cycle / 3) % kFaultCount]);
    const int mode = cycle % 3;
    QJsonObject recognition{{QStringLiteral("sentences"), QJsonArray{sentence}}};
    QJsonObject chat{{QStringLiteral("defaultAnswer"), QStringLiteral("好的，收到。")}, {QStringLiteral("chunkDelayMs"), 5}};
    QJsonObject vision{{QStringLiteral("reply"), QStringLiteral("第%1条回复").arg(cycle)}};
    QJsonObject synthesis;
    const auto faultOf = [&](QJsonObject options) {
        options.insert(QStringLiteral("type"), fault);
        return options;
    };
    if (fault == QLatin1String("slow")) {
        recognition.insert(QStringLiteral("finishDelayMs"), 100);
        chat.insert(QStringLiteral("chunkDelayMs"), 150);
        vision.insert(QStringLiteral("delayMs"), 800);
    } else if (!fault.isEmpty() && mode == 0) {
        // Dictation meets only the recogniser; its HTTP-only faults play on it
        // as a closed connection.
        const bool webSocketFault = fault != QLatin1String("http-error") && fault != QLatin1String("split-packets");
        recognition.insert(QStringLiteral("fault"),
                           webSocketFault ? faultOf({{QStringLiteral("frames"), 2}})
                                          : QJsonObject{{QStringLiteral("type"), QStringLiteral("close-after")},
                                                        {QStringLiteral("frames"), 3}});
    } else if (!fault.isEmpty() && mode == 1) {
        if (fault == QLatin1String("task-failed"))
            synthesis.insert(QStringLiteral("fault"), faultOf({}));
        else
            chat.insert(QStringLiteral("fault"), faultOf({{QStringLiteral("frames"), 1}, {QStringLiteral("bytes"), 3}}));
    } else if (!fault.isEmpty()) {
        vision.insert(QStringLiteral("fault"), faultOf({{QStringLiteral("frames"), 0}}));
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("recognition"), recognition},
                                     {QStringLiteral("chat"), chat},
                                     {QStringLiteral("vision"), vision},
                                     {QStringLiteral("synthesis"), synthesis}})
        .toJson(QJsonDocument::Compact);
}

struct ProcessUse
{
    int files = 0;
    int sockets = 0;
    qint64 rssKb = 0;
};

ProcessUse useOf(qint64 pid)
{
    ProcessUse use;
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QFileInfo &fd : fds.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
        ++use.files;
        if (fd.symLinkTarget().contains(QStringLiteral("socket:")))
            ++use.sockets;
    }
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        const QString text = QString::fromLatin1(status.readAll());
        const auto match = QRegularExpression(QStringLiteral("VmRSS:\\s+(\\d+)")).match(text);
        use.rssKb = match.captured(1).toLongLong();
    }
    return use;
}

class Soak : public RunningApplication
{
protected:
    void adjustEnvironment(QProcessEnvironment &appEnv) override
    {
        // The unanswering service is given up on after a tenth of the usual
        // waits (6 s for HTTP), so that 200 presses fit in minutes.
        appEnv.insert(QStringLiteral("QUILLWREN_TIMEOUT_SCALE"), QStringLiteral("0.1"));
    }

    // The chat requests the stand-in received: each one's user questions.
    QList<QStringList> chatQuestions()
    {
        QList<QStringList> requests;
        for (const QJsonObject &record : server.recorder().recordsOfKind(QStringLiteral("http-request"))) {
            const QJsonObject json = record[QStringLiteral("json")].toObject();
            if (!json[QStringLiteral("stream")].toBool())
                continue;
            QStringList questions;
            for (const QJsonValue &message : json[QStringLiteral("messages")].toArray()) {
                if (message[QStringLiteral("role")].toString() == QLatin1String("user"))
                    questions << message[QStringLiteral("content")].toString();
            }
            requests << questions;
        }
        return requests;
    }
};

TEST_F(Soak, TwoHundredPressesUnderFaultsLeaveNothingStuckLeakedOrLost)
{
    PasteTarget target(env);
    const QRegularExpression recognised(QStringLiteral("✅ \\[语音处理\\] 识别结果：\"([^\"]*)\""));
    ProcessUse warm;
    QStringList asked; // questions recognised in chat presses, in order
    QMap<QString, int> endings;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        const QString sentence = QStringLiteral("第%1句话。").arg(cycle);
        useScenario(scenarioFor(cycle, sentence));
        const qsizetype logStart = log().size();
        const QString key = QString::fromLatin1(kKeys[cycle % 3]);
        ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), key}), 0);
        settle(650);
        ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), key}), 0);
        QString ending;
        ASSERT_TRUE(waitUntil([&] {
            settle(100); // a status command at most every 0.1 s, not a busy loop of processes
            const QJsonObject now = status();
            ending = now[QStringLiteral("statusMessage")].toString();
            return !now[QStringLiteral("isProcessing")].toBool() && now[QStringLiteral("currentMode")].isNull()
                   && log().size() > logStart;
        }, 20000)) << "press " << cycle << " with " << kFaults[(cycle / 3) % kFaultCount] << " is stuck";
        settle(100);
        endings[ending.section(QChar(u'：'), 0, 0)] += 1;

        const QString run = log().mid(logStart);
        const auto match = recognised.match(run);
        const QString heard = match.hasMatch() ? match.captured(1) : QString();
        const QString context = QStringLiteral("press %1 (%2, fault \"%3\") ended with \"%4\"")
                                    .arg(cycle)
                                    .arg(key, QString::fromLatin1(kFaults[(cycle / 3) % kFaultCount]), ending);
        if (cycle % 3 == 0 && !heard.isEmpty()) {
            // A dictation that was heard: typed, or on the clipboard and said so.
            if (ending == QLatin1String("文本已输入")) {
                EXPECT_TRUE(target.text().endsWith(heard)) << context.toStdString();
            } else {
                EXPECT_EQ(clipboard(), heard) << context.toStdString();
            }
        }
        if (cycle % 3 == 1 && !heard.isEmpty())
            asked << heard;
        if (cycle % 3 == 2 && ending == QLatin1String("BFF 回复已输入")) {
            EXPECT_TRUE(target.text().endsWith(QStringLiteral("第%1条回复").arg(cycle))) << context.toStdString();
        }
        // A failed answer never ends as if it were complete.
        if (cycle % 3 == 1 && !heard.isEmpty() && run.contains(QStringLiteral("❌ [LLM-Stream] 请求异常"))) {
            EXPECT_NE(ending, QStringLiteral("回复已完成")) << context.toStdString();
        }
        if (cycle == 3 * kFaultCount * 2)
            warm = useOf(app.processId());
    }

    // Every question recognised reached the model, and the next question's
    // request still carries it: the history kept it whatever became of its answer.
    const QList<QStringList> requests = chatQuestions();
    ASSERT_GE(asked.size(), 20) << "most chat presses were heard";
    for (qsizetype i = 0; i < asked.size(); ++i) {
        const auto request = std::find_if(requests.begin(), requests.end(),
                                          [&](const QStringList &q) { return !q.isEmpty() && q.last() == asked[i]; });
        ASSERT_NE(request, requests.end()) << asked[i].toStdString() << " never reached the model";
        if (i + 1 < asked.size() && std::next(request) != requests.end()) {
            EXPECT_TRUE(std::next(request)->contains(asked[i])) << asked[i].toStdString() << " left the history";
        }
    }

    const QJsonObject end = status();
    EXPECT_TRUE(end[QStringLiteral("currentMode")].isNull());
    EXPECT_FALSE(end[QStringLiteral("isProcessing")].toBool());
    settle(1500); // connections closed by the last faults are reaped
    const ProcessUse after = useOf(app.processId());
    EXPECT_LE(after.sockets, warm.sockets + 1) << "sockets " << warm.sockets << " -> " << after.sockets;
    EXPECT_LE(after.files, warm.files + 2) << "descriptors " << warm.files << " -> " << after.files;
    EXPECT_LT(after.rssKb - warm.rssKb, 5 * 1024) << "RSS " << warm.rssKb << " kB -> " << after.rssKb << " kB";
    std::cerr << "soak: " << kCycles << " presses; fds " << warm.files << " -> " << after.files << ", sockets "
              << warm.sockets << " -> " << after.sockets << ", RSS " << warm.rssKb << " -> " << after.rssKb
              << " kB; endings:";
    for (auto it = endings.cbegin(); it != endings.cend(); ++it)
        std::cerr << " \"" << it.key().toStdString() << "\" " << it.value();
    std::cerr << std::endl;
}

} // namespace
