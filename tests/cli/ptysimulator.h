#pragma once

#include "link/protocol.h"
#include "link/session.h"
#include "platform/qttimesource.h"
#include "platform/serialports.h"
#include "recordingprompts.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace quorlink::test {

inline constexpr int StartTimeoutMs = 10000;

// `quorlink simulate --pty` in the background, and (unless a test leaves the
// device to another program) the PC's side on its device: the real serial
// device class, port and link, in real time.
class PtySimulator
{
public:
    QTemporaryDir dir;
    QProcess process;
    QString path;
    QtTimeSource time{Qt::PreciseTimer};
    SystemDeviceProvider devices;
    RecordingPrompts prompts;
    link::Session session{time, prompts, devices};
    CommPort& port = session.port();
    link::Link& link = session.link();

    QString recordFile() const { return dir.filePath(QStringLiteral("received.json")); }

    bool start(const QStringList& switchOptions, bool connect = true)
    {
        process.start(QStringLiteral(QUORLINK_CLI),
                      QStringList{"simulate", "--pty", "--record", recordFile()} + switchOptions);
        const QDeadlineTimer deadline(StartTimeoutMs);
        while (!process.canReadLine() && !deadline.hasExpired())
            process.waitForReadyRead(100);
        path = QString::fromLocal8Bit(process.readLine()).trimmed();
        if (!path.startsWith(u'/'))
            return false;
        if (!connect)
            return true;
        devices.mapDevice(1, path);
        session.open(1);
        return true;
    }

    // Ends the simulator as an interrupted user would and returns what the
    // cards received.
    QJsonArray stop()
    {
        if (port.portOpen())
            port.setPortOpen(false);
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
