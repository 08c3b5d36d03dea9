#pragma once

#include "AppConfig.h"
#include "ServiceError.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <QCoroTask>

#include <chrono>
#include <functional>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

// One take's words from a server of the OpenAI-style transcription
// interface: the audio as a WAV file in a multipart form with the settings'
// model, the language when it is not left to the server, the hot words as
// the prompt (the servers' hint of spellings), JSON asked for and a stream
// offered. The answer is read as the server gives it: server-sent events
// (transcript.text.delta / .done) or the JSON body.
namespace TranscriptionRequest {

// Answers larger than this are not a transcript.
constexpr qsizetype kMaxAnswerBytes = 1024 * 1024;

// 16 kHz mono 16-bit PCM as a WAV file.
QByteArray wav(const QByteArray &pcm16k);

struct Form
{
    QByteArray body;
    QByteArray contentType;
};
Form form(const QByteArray &wavFile, const AppConfig &config, bool stream);

// How long the whole request may take for this much audio: base (15 s by
// default), and 1 s more for every 2 s of audio (a server on a slow machine
// takes about a tenth of real time, a busy one more), at most 3 minutes.
std::chrono::milliseconds boundFor(qint64 audioMs, std::chrono::milliseconds base = std::chrono::milliseconds(15000));

// The words in an answer of this status and content type; an error with the
// server's message otherwise.
Result<QString> parseAnswer(int status, const QByteArray &contentType, const QByteArray &body);

// Sends the take and returns its words. key: the one stored for the
// server's host, or none (no Authorization sent). A server that refuses the
// stream field is asked again without it. sent is told each request as it
// goes (to abort it when the take is cancelled).
QCoro::Task<Result<QString>> send(QNetworkAccessManager &network, QUrl url, std::optional<QString> key,
                                  QByteArray pcm16k, AppConfig config, std::chrono::milliseconds boundBase,
                                  std::function<void(QNetworkReply *)> sent = {});

} // namespace TranscriptionRequest
