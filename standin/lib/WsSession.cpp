#include "WsSession.h"

#include "RunTaskValidator.h"
#include "StandinServer.h"
#include "SynthesisPlan.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QTimer>

#include <cmath>

using WebSocketFrames::Opcode;

WsSession::WsSession(QTcpSocket *socket, StandinServer &server, int connectionId, const QByteArray &leftover,
                     QObject *parent)
    : QObject(parent), m_socket(socket), m_server(server), m_id(connectionId)
{
    connect(socket, &QTcpSocket::readyRead, this, [this] { readFrames(m_socket->readAll()); });
    connect(socket, &QTcpSocket::disconnected, this, [this] {
        if (!m_closed)
            record({{QStringLiteral("kind"), QStringLiteral("ws-disconnected")}});
        m_closed = true;
        recordAudioSummary();
    });
    if (!leftover.isEmpty())
        QTimer::singleShot(0, this, [this, leftover] { readFrames(leftover); });
}

void WsSession::record(QJsonObject entry)
{
    entry.insert(QStringLiteral("connection"), m_id);
    if (!m_taskId.isEmpty())
        entry.insert(QStringLiteral("task_id"), m_taskId);
    m_server.recorder().record(entry);
}

const Fault &WsSession::fault() const
{
    return m_kind == Kind::Synthesis ? m_synthesis.fault : m_recognition.fault;
}

void WsSession::later(int ms, std::function<void()> action)
{
    const int generation = m_taskGeneration;
    QTimer::singleShot(ms, this, [this, generation, action = std::move(action)] {
        if (generation == m_taskGeneration && !m_closed)
            action();
    });
}

void WsSession::readFrames(const QByteArray &bytes)
{
    if (m_closed)
        return;
    const auto messages = m_reader.feed(bytes);
    for (const auto &message : messages) {
        if (m_closed)
            return;
        switch (message.opcode) {
        case Opcode::Text:
            handleText(message.payload);
            break;
        case Opcode::Binary:
            handleBinary(message.payload);
            break;
        case Opcode::Ping:
            record({{QStringLiteral("kind"), QStringLiteral("ws-ping")}, {QStringLiteral("size"), message.payload.size()}});
            m_socket->write(WebSocketFrames::encode(Opcode::Pong, message.payload));
            break;
        case Opcode::Close: {
            const int code = WebSocketFrames::closeCode(message.payload);
            record({{QStringLiteral("kind"), QStringLiteral("ws-close")}, {QStringLiteral("code"), code}});
            recordAudioSummary();
            m_closed = true;
            m_socket->write(WebSocketFrames::closeFrame(quint16(code == 1005 ? 1000 : code)));
            m_socket->disconnectFromHost();
            return;
        }
        default:
            break;
        }
    }
    if (!m_reader.protocolError().isEmpty()) {
        record({{QStringLiteral("kind"), QStringLiteral("ws-protocol-error")},
                {QStringLiteral("error"), QString::fromUtf8(m_reader.protocolError())}});
        closeAbruptly();
    }
}

void WsSession::handleText(const QByteArray &text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    QJsonObject entry{{QStringLiteral("kind"), QStringLiteral("ws-text")}, {QStringLiteral("size"), text.size()}};
    if (document.isObject())
        entry.insert(QStringLiteral("json"), document.object());
    else
        entry.insert(QStringLiteral("text"), QString::fromUtf8(text));
    record(entry);

    if (!document.isObject()) {
        if (m_state != State::Idle)
            failTask(QStringLiteral("InvalidParameter"), QStringLiteral("a text frame that is not a JSON object"));
        return;
    }
    const QJsonObject frame = document.object();
    const QString action = frame.value(QStringLiteral("header")).toObject().value(QStringLiteral("action")).toString();
    if (action == QLatin1String("run-task"))
        handleRunTask(frame);
    else if (action == QLatin1String("continue-task"))
        handleContinueTask(frame);
    else if (action == QLatin1String("finish-task"))
        handleFinishTask(frame);
    else if (m_state != State::Idle)
        failTask(QStringLiteral("InvalidParameter"), QStringLiteral("header.action must be run-task, continue-task or finish-task"));
}

void WsSession::handleRunTask(const QJsonObject &frame)
{
    if (m_state != State::Idle)
        return failTask(QStringLiteral("InvalidParameter"),
                        QStringLiteral("a second run-task while task %1 is running").arg(m_taskId));
    ++m_taskGeneration;
    m_recognition = m_server.scenario().recognition;
    m_synthesis = m_server.scenario().synthesis;
    m_taskId = frame.value(QStringLiteral("header")).toObject().value(QStringLiteral("task_id")).toString();
    const QString task = frame.value(QStringLiteral("payload")).toObject().value(QStringLiteral("task")).toString();
    m_kind = task == QLatin1String("tts") ? Kind::Synthesis : Kind::Recognition;
    m_state = State::Starting;
    m_audio = AudioAnalysis();
    m_results.reset(m_recognition);
    m_resultsSent = 0;
    m_finishRequested = false;
    m_audioInFlight = 0;
    m_stalled = false;

    const bool strict = m_server.isStrict();
    const QString problem = m_kind == Kind::Synthesis ? RunTaskValidator::synthesis(frame, m_synthesis.models, strict)
                                                      : RunTaskValidator::recognition(frame, m_recognition.models, strict);
    if (!problem.isEmpty())
        return failTask(QStringLiteral("InvalidParameter"), problem);
    const QJsonObject payload = frame.value(QStringLiteral("payload")).toObject();
    if (const QJsonValue vocabulary = payload[QStringLiteral("parameters")][QStringLiteral("vocabulary_id")];
        m_kind == Kind::Recognition && vocabulary.isString())
        record(m_server.vocabularies().runTaskRecord(vocabulary.toString(), payload[QStringLiteral("model")].toString()));

    if (fault().is("never-answer") && fault().stringOption("at", QStringLiteral("connect")) == QLatin1String("connect"))
        return;
    if (fault().is("task-failed") && fault().stringOption("at", QStringLiteral("start")) == QLatin1String("start"))
        return failAsScripted(QStringLiteral("scripted failure at start"));
    const int delay = m_kind == Kind::Synthesis ? m_synthesis.startDelayMs : m_recognition.startDelayMs;
    later(delay, [this] { startTask(); });
}

void WsSession::startTask()
{
    m_state = State::Running;
    sendEvent(QStringLiteral("task-started"), {});
    if (fault().is("malformed")) {
        const QStringList frames = fault().stringsOption(
            "frames", {QStringLiteral("not json"), QStringLiteral("[1,2,3]"), QStringLiteral("{\"payload\":{}}")});
        for (const QString &text : frames)
            sendFrame(Opcode::Text, text.toUtf8());
    }
}

void WsSession::handleBinary(const QByteArray &data)
{
    const double rms = AudioAnalysis::frameRms(data);
    record({{QStringLiteral("kind"), QStringLiteral("ws-binary")},
            {QStringLiteral("size"), data.size()},
            {QStringLiteral("rms"), rms}});
    if (m_state != State::Running || m_finishRequested) {
        return failTask(QStringLiteral("InvalidParameter"),
                        m_state == State::Idle ? QStringLiteral("audio received with no task running")
                                               : m_finishRequested ? QStringLiteral("audio received after finish-task")
                                                                   : QStringLiteral("audio received before task-started"));
    }
    if (m_kind != Kind::Recognition)
        return failTask(QStringLiteral("InvalidParameter"), QStringLiteral("binary frames are not accepted by a tts task"));
    m_audio.add(data);
    m_results.heard(data);
    // A connection lost in the middle of a take, once so much was heard.
    if (const int afterMs = fault().intOption("audioMs", 0);
        fault().is("close-after") && afterMs > 0 && m_audio.durationMs() >= afterMs) {
        record({{QStringLiteral("kind"), QStringLiteral("fault-close")}, {QStringLiteral("audio_ms"), m_audio.durationMs()}});
        recordAudioSummary();
        return closeAbruptly();
    }
    sendNextResults(false);
}

void WsSession::sendNextResults(bool all)
{
    while (m_state != State::Idle && !m_closed) {
        const std::optional<QJsonObject> next = m_results.next(all, m_audio);
        if (!next)
            return;
        const QJsonObject &sentence = *next;
        const bool end = sentence.value(QStringLiteral("sentence_end")).toBool();
        const QJsonValue usage = end ? QJsonValue(QJsonObject{{QStringLiteral("duration"), std::ceil(m_audio.durationMs() / 1000.0)}})
                                     : QJsonValue(QJsonValue::Null);
        sendEvent(QStringLiteral("result-generated"),
                  {{QStringLiteral("output"), QJsonObject{{QStringLiteral("sentence"), sentence}}},
                   {QStringLiteral("usage"), usage}});
        ++m_resultsSent;
        if (fault().is("task-failed") && fault().stringOption("at") == QLatin1String("results")
            && m_resultsSent >= fault().intOption("after", 1)) {
            return failAsScripted(QStringLiteral("scripted failure after results"));
        }
    }
}

void WsSession::handleContinueTask(const QJsonObject &frame)
{
    if (m_state != State::Running || m_finishRequested)
        return failTask(QStringLiteral("InvalidParameter"),
                        m_state == State::Running ? QStringLiteral("continue-task after finish-task")
                                                  : QStringLiteral("continue-task before task-started"));
    if (m_kind != Kind::Synthesis)
        return failTask(QStringLiteral("InvalidParameter"), QStringLiteral("continue-task is not accepted by an asr task"));
    const QString problem = RunTaskValidator::continueTask(frame, m_taskId, m_server.isStrict());
    if (!problem.isEmpty())
        return failTask(QStringLiteral("InvalidParameter"), problem);
    sendSynthesisAudio(frame[QStringLiteral("payload")][QStringLiteral("input")][QStringLiteral("text")].toString());
}

void WsSession::sendSynthesisAudio(const QString &text)
{
    const SynthesisPlan plan = SynthesisPlan::forText(m_synthesis, text);
    record({{QStringLiteral("kind"), QStringLiteral("tts-audio")},
            {QStringLiteral("characters"), text.size()},
            {QStringLiteral("bytes"), plan.mp3.size()}});
    for (int index = 0; index < plan.count; ++index) {
        if (index == plan.stallAfter) {
            // Nothing more: the task never finishes.
            record({{QStringLiteral("kind"), QStringLiteral("tts-stalled")}, {QStringLiteral("after"), index}});
            m_stalled = true;
            return;
        }
        if (index == plan.failAfter) {
            ++m_audioInFlight;
            later(plan.delayMs + plan.stepMs * index, [this] {
                --m_audioInFlight;
                failTask(QStringLiteral("InternalError"), QStringLiteral("scripted failure midway"));
            });
            return;
        }
        const QByteArray piece = plan.mp3.mid(qsizetype(index) * plan.chunkBytes, plan.chunkBytes);
        ++m_audioInFlight;
        later(plan.delayMs + plan.stepMs * index, [this, piece, index, sentence = text.left(8)] {
            --m_audioInFlight;
            record({{QStringLiteral("kind"), QStringLiteral("tts-frame")},
                    {QStringLiteral("epoch_ms"), QDateTime::currentMSecsSinceEpoch()},
                    {QStringLiteral("text"), sentence},
                    {QStringLiteral("index"), index},
                    {QStringLiteral("size"), piece.size()}});
            sendFrame(Opcode::Binary, piece);
            if (m_audioInFlight == 0 && m_finishRequested && !m_stalled)
                finishTask();
        });
    }
}

void WsSession::handleFinishTask(const QJsonObject &frame)
{
    if (m_state != State::Running || m_finishRequested)
        return failTask(QStringLiteral("InvalidParameter"),
                        m_state == State::Idle ? QStringLiteral("finish-task with no task running")
                        : m_state == State::Starting ? QStringLiteral("finish-task before task-started")
                                                     : QStringLiteral("a second finish-task"));
    const QString problem = RunTaskValidator::finishTask(frame, m_taskId);
    if (!problem.isEmpty())
        return failTask(QStringLiteral("InvalidParameter"), problem);
    m_finishRequested = true;
    recordAudioSummary();
    if (fault().is("never-answer") && fault().stringOption("at") == QLatin1String("finish"))
        return;
    if (fault().is("task-failed") && fault().stringOption("at") == QLatin1String("finish"))
        return failAsScripted(QStringLiteral("scripted failure at finish"));
    if (m_kind == Kind::Synthesis) {
        if (m_audioInFlight == 0 && !m_stalled)
            finishTask();
        return;
    }
    later(m_recognition.finishDelayMs, [this] { finishTask(); });
}

void WsSession::finishTask()
{
    QJsonObject payload;
    if (m_kind == Kind::Recognition) {
        sendNextResults(true);
        if (m_state == State::Idle || m_closed)
            return;
        payload = m_recognition.finishedPayload.value_or(
            QJsonObject{{QStringLiteral("output"), QJsonObject()},
                        {QStringLiteral("usage"), QJsonObject{{QStringLiteral("duration"), std::ceil(m_audio.durationMs() / 1000.0)}}}});
    } else {
        payload = {{QStringLiteral("output"), QJsonObject()}, {QStringLiteral("usage"), QJsonValue(QJsonValue::Null)}};
    }
    sendEvent(QStringLiteral("task-finished"), payload);
    endTask();
}

void WsSession::failTask(const QString &code, const QString &message)
{
    record({{QStringLiteral("kind"), QStringLiteral("task-failed")},
            {QStringLiteral("error_code"), code},
            {QStringLiteral("error_message"), message}});
    // The real service puts the reason in the header; a scenario may also
    // put it in the payload.
    const QJsonObject payload = fault().options.value(QStringLiteral("inPayload")).toBool()
                                    ? QJsonObject{{QStringLiteral("message"), message}}
                                    : QJsonObject();
    sendEvent(QStringLiteral("task-failed"), payload,
              {{QStringLiteral("error_code"), code}, {QStringLiteral("error_message"), message}});
    endTask();
}

void WsSession::failAsScripted(const QString &defaultMessage)
{
    failTask(fault().stringOption("code", QStringLiteral("InternalError")), fault().stringOption("message", defaultMessage));
}

void WsSession::endTask()
{
    recordAudioSummary();
    m_state = State::Idle;
    m_kind = Kind::None;
    ++m_taskGeneration;
}

void WsSession::recordAudioSummary()
{
    if (m_kind != Kind::Recognition || m_audio.sampleCount() == 0)
        return;
    QJsonObject entry = m_audio.summary();
    entry.insert(QStringLiteral("kind"), QStringLiteral("audio"));
    record(entry);
    m_audio = AudioAnalysis(); // one summary per task
}

void WsSession::sendEvent(const QString &event, const QJsonObject &payload, const QJsonObject &headerExtra)
{
    QJsonObject header{{QStringLiteral("task_id"), m_taskId},
                       {QStringLiteral("event"), event},
                       {QStringLiteral("attributes"), QJsonObject()}};
    for (auto it = headerExtra.begin(); it != headerExtra.end(); ++it)
        header.insert(it.key(), it.value());
    const QJsonObject frame{{QStringLiteral("header"), header}, {QStringLiteral("payload"), payload}};
    sendFrame(Opcode::Text, QJsonDocument(frame).toJson(QJsonDocument::Compact));
}

void WsSession::sendFrame(Opcode opcode, const QByteArray &payload)
{
    if (m_closed)
        return;
    m_socket->write(WebSocketFrames::encode(opcode, payload));
    ++m_framesSent;
    if (fault().is("close-after") && fault().intOption("audioMs", 0) <= 0
        && m_framesSent >= fault().intOption("frames", 1)) {
        record({{QStringLiteral("kind"), QStringLiteral("fault-close")}, {QStringLiteral("frames_sent"), m_framesSent}});
        closeAbruptly();
    }
}

void WsSession::closeAbruptly()
{
    m_closed = true;
    m_socket->flush();
    m_socket->abort();
}
