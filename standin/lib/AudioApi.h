#pragma once

#include "HttpRequest.h"

#include "Scenario.h"

#include <QJsonObject>
#include <QStringList>

class QTcpSocket;
class Recorder;

// The OpenAI-style audio interface, as speech servers of that family serve
// it: POST …/audio/transcriptions (a multipart upload; the words as JSON,
// text, or server-sent events) and POST …/audio/speech (JSON; the MP3 as a
// chunked body, piece by piece). Each request is recorded; the answers
// follow the scenario's "audio" section (timing, models, faults).
namespace AudioApi {

struct Context
{
    AudioApiScript script;
    // The words of a take when the script names none: the recognition's.
    QString recognisedText;
    Recorder &recorder;
    int connection;
    // The key was right, or this host takes none.
    bool authorized;
    bool strict;
};

void transcribe(const HttpRequest &request, const Context &context, QTcpSocket *socket);
void speak(const HttpRequest &request, const Context &context, QTcpSocket *socket);

} // namespace AudioApi
