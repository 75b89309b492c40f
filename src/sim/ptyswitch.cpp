#include "ptyswitch.h"

#include "link/protocol.h"
#include "platform/runtimeerror.h"
#include "simlogging.h"
#include "simulatedswitch.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace quorlink::sim {

namespace {

// How soon a reply the PC's side had no room for is offered again.
constexpr int RetryMs = 5;

[[noreturn]] void failPty(const char* what)
{
    throw RuntimeError(RuntimeError::DeviceUnavailable,
                       QStringLiteral("pseudo-terminal: %1 failed: %2")
                           .arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno))));
}

// The line as the cards see it: the link's speed, eight data bits, the parity
// the byte was inferred to carry.
LineSettings settingsFor(Parity parity)
{
    return {link::protocol::BaudRate, parity, 8, 1};
}

} // namespace

PtySwitch::PtySwitch(SimulatedSwitch& simulatedSwitch) : m_switch(simulatedSwitch)
{
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
        failPty("openpty");
    m_slavePath = QString::fromLocal8Bit(name);
    // Raw bytes both ways: no echo, no line editing, no CR/LF translation;
    // 0x00, 0xFF and every other byte pass unchanged.
    termios raw = {};
    if (::tcgetattr(m_slave, &raw) != 0)
        failPty("tcgetattr");
    ::cfmakeraw(&raw);
    if (::tcsetattr(m_slave, TCSANOW, &raw) != 0)
        failPty("tcsetattr");
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);

    m_readable = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readable, &QSocketNotifier::activated, this, &PtySwitch::readFromPc);
    m_delivery.setSingleShot(true);
    m_delivery.setTimerType(Qt::PreciseTimer);
    connect(&m_delivery, &QTimer::timeout, this, &PtySwitch::deliverReplies);
}

PtySwitch::~PtySwitch()
{
    delete m_readable;
    ::close(m_slave);
    ::close(m_master);
}

void PtySwitch::readFromPc()
{
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(m_master, buffer, sizeof buffer);
        if (count <= 0)
            break; // nothing more now (EAGAIN); the kept slave prevents hang-ups
        const auto pieces = m_inference.feed(QByteArray(buffer, static_cast<qsizetype>(count)));
        for (const ParityInference::Piece& piece : pieces)
            m_switch.receive(piece.bytes, settingsFor(piece.parity));
    }
    deliverReplies();
}

void PtySwitch::releaseFromAdapter()
{
    const QByteArray arrived = m_switch.takeArrived();
    if (m_adapterLatencyMs <= 0) {
        m_unsent += arrived;
        return;
    }
    const std::int64_t now = m_switch.time().nowMicroseconds();
    if (m_held.isEmpty() && !arrived.isEmpty())
        m_heldSinceMicroseconds = now;
    m_held += arrived;
    if (!m_held.isEmpty() && now >= m_heldSinceMicroseconds + m_adapterLatencyMs * 1000LL) {
        m_unsent += m_held;
        m_held.clear();
    }
}

void PtySwitch::deliverReplies()
{
    releaseFromAdapter();
    while (!m_unsent.isEmpty()) {
        const ssize_t count =
            ::write(m_master, m_unsent.constData(), static_cast<size_t>(m_unsent.size()));
        if (count < 0 && errno == EAGAIN)
            break; // the PC does not read: try again later, never block the loop
        if (count < 0) {
            qCWarning(lcSim) << "pseudo-terminal write failed:" << std::strerror(errno);
            m_unsent.clear();
            break;
        }
        m_unsent.remove(0, count);
    }
    scheduleDelivery();
}

void PtySwitch::scheduleDelivery()
{
    if (!m_unsent.isEmpty()) {
        m_delivery.start(RetryMs);
        return;
    }
    if (!m_held.isEmpty()) {
        // Later bytes join what the adapter holds; it lets go when its timer runs out.
        const std::int64_t releaseUs = m_heldSinceMicroseconds + m_adapterLatencyMs * 1000LL -
                                       m_switch.time().nowMicroseconds();
        m_delivery.start(releaseUs <= 0 ? 0 : static_cast<int>((releaseUs + 999) / 1000));
        return;
    }
    // A byte that arrived after the last take (this process was preempted,
    // say) is due at once: asking only for bytes still on their way would
    // leave it, often a reply's terminator, unsent until the PC writes again.
    const std::optional<std::int64_t> next = m_switch.firstUntakenArrivalMicroseconds();
    if (!next)
        return;
    const std::int64_t delayUs = *next - m_switch.time().nowMicroseconds();
    m_delivery.start(delayUs <= 0 ? 0 : static_cast<int>((delayUs + 999) / 1000));
}

} // namespace quorlink::sim
