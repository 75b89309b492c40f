#pragma once

#include "parityinference.h"

#include <QObject>
#include <QString>
#include <QTimer>

class QSocketNotifier;

namespace quorlink::sim {

class SimulatedSwitch;

// A simulated switch behind a pseudo-terminal, so that any program (the
// tool, the window with --com 1=PATH, a terminal program) can open it as a
// serial device. This object keeps the master side; the slave's path is
// what the other program opens. The PC's bytes get their parity from
// ParityInference; the cards' replies are written to the master when they
// arrive by the switch's clock.
class PtySwitch final : public QObject
{
public:
    // Opens the pseudo-terminal; throws RuntimeError when the system has none to give.
    explicit PtySwitch(SimulatedSwitch& simulatedSwitch);
    ~PtySwitch() override;
    PtySwitch(const PtySwitch&) = delete;
    PtySwitch& operator=(const PtySwitch&) = delete;

    QString slavePath() const { return m_slavePath; }

    // Plays a USB-to-serial adapter's latency timer: the cards' bytes reach
    // the PC only when `milliseconds` have passed since the first of them
    // reached the adapter. 0 (the default) passes every byte on as it arrives.
    void setAdapterLatencyMs(int milliseconds) { m_adapterLatencyMs = milliseconds; }

private:
    void readFromPc();
    void deliverReplies();
    void scheduleDelivery();
    // Moves what the adapter may pass on by now into m_unsent.
    void releaseFromAdapter();

    SimulatedSwitch& m_switch;
    ParityInference m_inference;
    int m_master = -1;
    // Kept open so that the master never sees a hang-up while no program has
    // the slave open (between the tool's commands, say).
    int m_slave = -1;
    QString m_slavePath;
    QSocketNotifier* m_readable = nullptr;
    QTimer m_delivery;
    // Replies that arrived while the slave's input queue was full.
    QByteArray m_unsent;
    int m_adapterLatencyMs = 0;
    // Bytes the adapter holds, and when the first of them reached it.
    QByteArray m_held;
    std::int64_t m_heldSinceMicroseconds = 0;
};

} // namespace quorlink::sim
