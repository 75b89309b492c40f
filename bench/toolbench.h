#pragma once

// Shared by the benchmarks that run the built `quorlink` tool.

#include "firmwaremaker.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

// The tool built beside the benchmark.
inline QString toolPath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("quorlink"));
}

// Writes a remote card file of about `records` records; returns its record texts.
inline QStringList writeRemoteFile(const QString& path, int records)
{
    namespace maker = quorlink::firmware::maker;
    const QStringList texts = maker::FirmwareMaker(1).remoteRecordTexts(
        maker::makeImage(0x0000, (records - 1) * 32, QStringLiteral("QLREM ver1.08 US"), 1));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(maker::FirmwareMaker(1).fileContents(texts));
    return texts;
}

// Starts `quorlink simulate --pty` with `options`; returns the device path it
// prints.
inline QString startSimulator(QProcess& simulator, const QStringList& options)
{
    simulator.start(toolPath(), QStringList{"simulate", "--pty"} + options);
    const QDeadlineTimer deadline(10000);
    while (!simulator.canReadLine() && !deadline.hasExpired())
        simulator.waitForReadyRead(100);
    const QString device = QString::fromLocal8Bit(simulator.readLine()).trimmed();
    if (!device.startsWith(u'/'))
        qFatal("the simulator gave no device");
    return device;
}

// Elapsed milliseconds of one `quorlink update` of `card` on `devices`; exits
// on a failed update.
inline double timedUpdate(const QString& file, const QStringList& devices, int card)
{
    QStringList arguments{"update", file, "--cards", QString::number(card), "--yes", "--json"};
    for (const QString& device : devices)
        arguments << "--device" << device;
    QProcess update;
    QElapsedTimer elapsed;
    elapsed.start();
    update.start(toolPath(), arguments);
    if (!update.waitForFinished(1800000) || update.exitCode() != 0) {
        std::fprintf(stderr, "update failed: %s\n%s\n", update.readAllStandardOutput().constData(),
                     update.readAllStandardError().constData());
        std::exit(1);
    }
    return static_cast<double>(elapsed.nsecsElapsed()) / 1e6;
}
