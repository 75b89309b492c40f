#pragma once

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

namespace quorlink::test {

inline constexpr int StartTimeoutMs = 10000;

// `quorlink simulate --pty` in the background, for the switch commands of a
// tool run to use by its device.
class PtySimulator
{
public:
    QTemporaryDir dir;
    QProcess process;
    QString path;

    QString recordFile() const { return dir.filePath(QStringLiteral("received.json")); }

    bool start(const QStringList& switchOptions)
    {
        process.start(QStringLiteral(QUORLINK_CLI),
                      QStringList{"simulate", "--pty", "--record", recordFile()} + switchOptions);
        const QDeadlineTimer deadline(StartTimeoutMs);
        while (!process.canReadLine() && !deadline.hasExpired())
            process.waitForReadyRead(100);
        path = QString::fromLocal8Bit(process.readLine()).trimmed();
        return path.startsWith(u'/');
    }

    // Ends the simulator as an interrupted user would and returns what the
    // cards received.
    QJsonArray stop()
    {
        process.terminate();
        if (!process.waitForFinished(StartTimeoutMs) || process.exitCode() != 0)
            return {};
        QFile file(recordFile());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(file.readAll())["cards"].toArray();
    }
};

} // namespace quorlink::test
