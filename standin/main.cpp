#include "StandinServer.h"

#include <QCommandLineParser>
#include <QFile>
#include <QCoreApplication>

#include <cstdio>

// quillwren-standin: the local stand-in of the model service, for tests and
// the offline demo. Prints the port it listens on, then serves until killed.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillwren-standin"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A local stand-in of the DashScope model service on 127.0.0.1."));
    parser.addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Port to listen on (0: any free port)."),
                                  QStringLiteral("PORT"), QStringLiteral("0"));
    const QCommandLineOption scenario(QStringLiteral("scenario"), QStringLiteral("Scenario JSON file."),
                                      QStringLiteral("FILE"));
    const QCommandLineOption record(QStringLiteral("record"), QStringLiteral("Append what is received, as JSON lines, to FILE."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption key(QStringLiteral("key"), QStringLiteral("The API key clients must present."),
                                 QStringLiteral("KEY"));
    const QCommandLineOption portFile(QStringLiteral("port-file"), QStringLiteral("Write the chosen port to FILE."),
                                      QStringLiteral("FILE"));
    const QCommandLineOption tlsCert(QStringLiteral("tls-cert"),
                                     QStringLiteral("Serve over TLS with this PEM certificate chain."),
                                     QStringLiteral("FILE"));
    const QCommandLineOption tlsKey(QStringLiteral("tls-key"), QStringLiteral("The certificate's PEM RSA key."),
                                    QStringLiteral("FILE"));
    // The long story (what the default takes, what strict refuses) is the manual page's.
    const QCommandLineOption strict(QStringLiteral("strict"),
                                    QStringLiteral("Take only Quillwren's own requests, exactly."));
    parser.addOptions({port, scenario, record, key, portFile, tlsCert, tlsKey, strict});
    parser.process(app);

    Scenario loaded;
    if (parser.isSet(scenario)) {
        QFile file(parser.value(scenario));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "quillwren-standin: cannot read %s\n", qPrintable(file.fileName()));
            return 2;
        }
        QString error;
        const auto parsed = Scenario::fromJson(file.readAll(), &error);
        if (!parsed) {
            std::fprintf(stderr, "quillwren-standin: bad scenario %s: %s\n", qPrintable(file.fileName()), qPrintable(error));
            return 2;
        }
        loaded = *parsed;
    }
    if (parser.isSet(key))
        loaded.apiKey = parser.value(key);

    bool portOk = false;
    const uint portNumber = parser.value(port).toUInt(&portOk);
    if (!portOk || portNumber > 65535) {
        std::fprintf(stderr, "quillwren-standin: bad port %s\n", qPrintable(parser.value(port)));
        return 2;
    }

    StandinServer server(loaded);
    server.setStrict(parser.isSet(strict));
    if (parser.isSet(record) && !server.recorder().setFile(parser.value(record))) {
        std::fprintf(stderr, "quillwren-standin: cannot write %s\n", qPrintable(parser.value(record)));
        return 2;
    }
    if (parser.isSet(tlsCert) != parser.isSet(tlsKey)) {
        std::fprintf(stderr, "quillwren-standin: --tls-cert and --tls-key go together\n");
        return 2;
    }
    if (QString tlsError; parser.isSet(tlsCert) && !server.useTls(parser.value(tlsCert), parser.value(tlsKey), &tlsError)) {
        std::fprintf(stderr, "quillwren-standin: %s\n", qPrintable(tlsError));
        return 2;
    }
    if (!server.listen(quint16(portNumber))) {
        std::fprintf(stderr, "quillwren-standin: cannot listen on 127.0.0.1:%u: %s\n", portNumber,
                     qPrintable(server.errorString()));
        return 1;
    }
    if (parser.isSet(portFile)) {
        QFile file(parser.value(portFile));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(QByteArray::number(server.port()) + '\n');
    }
    std::printf("quillwren-standin listening on 127.0.0.1:%u\n", server.port());
    std::printf("  WebSocket: %s\n  HTTP base: %s\n", qPrintable(server.webSocketUrl().toString()),
                qPrintable(server.compatibleBaseUrl()));
    std::fflush(stdout);
    return app.exec();
}
