#pragma once

// A pseudo-terminal pair for tests of the real serial path: the device
// under test opens the slave side, the test plays the cards on the master.
#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QThread>

#include <utility>

#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quorlink::test {

inline constexpr int PatienceMs = 5000; // only ever reached when something is broken

struct PseudoTerminal
{
    PseudoTerminal()
    {
        if (::openpty(&master, &slave, nullptr, nullptr, nullptr) == 0)
            slavePath = QString::fromLocal8Bit(::ttyname(slave));
    }
    ~PseudoTerminal()
    {
        closeMaster();
        ::close(slave);
    }

    void closeMaster() { ::close(std::exchange(master, -1)); }
    // Bytes waiting to be read at `fd`: through our own slave descriptor the
    // device's receive queue, without touching the device under test.
    static int queued(int fd)
    {
        int count = 0;
        ::ioctl(fd, FIONREAD, &count);
        return count;
    }
    // Blocks without running the event loop, as the link's sleeps do.
    static bool sleepUntilQueued(int fd, qsizetype count)
    {
        const QDeadlineTimer deadline(PatienceMs);
        while (queued(fd) != count && !deadline.hasExpired())
            QThread::msleep(2);
        return queued(fd) == count;
    }
    // Sends as the cards do and waits until the device's driver holds it.
    bool deliver(const QByteArray& bytes) const
    {
        return ::write(master, bytes.constData(), size_t(bytes.size())) == bytes.size() &&
               sleepUntilQueued(slave, bytes.size());
    }
    // What the device has sent, once `count` bytes are there.
    QByteArray receive(qsizetype count) const
    {
        QByteArray received(count, '\0');
        if (!sleepUntilQueued(master, count) ||
            ::read(master, received.data(), size_t(count)) != count)
            return {};
        return received;
    }

    int master = -1;
    int slave = -1;
    QString slavePath;
};

} // namespace quorlink::test
