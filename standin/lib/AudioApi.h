#pragma once

#include "HttpRequest.h"

#include <QJsonObject>
#include <QStringList>

class Recorder;
struct Scenario;

// The OpenAI-style audio interface, as speech servers of that family serve
// it: POST …/audio/transcriptions (a multipart upload; the words as JSON,
// text, or server-sent events) and POST …/audio/speech (JSON; the MP3 as the
// body). Each request is recorded; each answer is a whole HTTP response.
namespace AudioApi {

const QStringList &transcriptionModels();
const QStringList &speechModels();

struct Context
{
    const Scenario &scenario;
    Recorder &recorder;
    int connection;
    bool authorized;
    bool strict;
};

QByteArray transcribe(const HttpRequest &request, const Context &context);
QByteArray speak(const HttpRequest &request, const Context &context);

} // namespace AudioApi
