#pragma once

#include "StandinClient.h"
#include "TestSupport.h"

#include <QProcessEnvironment>
#include <QTemporaryDir>

// The quillwren command line against a stand-in served by this process, with
// the key in the session's keyring and settings in a fresh folder.
class CommandFixture : public StandinFixture
{
protected:
    void SetUp() override;

    // Runs the command while this process keeps serving the stand-in.
    TestSupport::ProcessResult run(const QStringList &args, const QByteArray &input = {});

    QTemporaryDir home;
    QProcessEnvironment env;
};

// Writes a WAV file of a sine tone at half scale, 16-bit, interleaved; its path.
QString writeTone(const QString &path, int rate, int channels, double seconds, double hz = 440);
