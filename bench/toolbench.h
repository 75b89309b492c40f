#pragma once

// Shared by the benchmarks that run the built `quorlink` tool.

#include "firmwaremaker.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>

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
