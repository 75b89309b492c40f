#pragma once

#include "protocol.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>

namespace quorlink {
class CommPort;
class LinkTimer;
class Prompts;
class TimeSource;
} // namespace quorlink

namespace quorlink::link {

// How a pause leaves Timer2: most pauses put the resting interval back, a few
// leave it at 100 ms for the next pause.
enum class PauseForm { Restoring, Short };

// The pieces every link operation is built from: the address phase with its
// parity switch and 10 ms pacing, the reply waits with their timer-driven
// timeouts, the 100 ms pause and the communication error message. Everything
// runs on the GUI thread; the timers only clear a flag when they tick, and
// the waits block in the event loop until the next event.
class Link
{
public:
    static constexpr int PacingMs = 10;
    static constexpr int ManagementReplyTimeoutMs = 500;
    static constexpr int RemoteReplyTimeoutMs = 200;
    static constexpr int AcknowledgementTimeoutMs = 1000;
    static constexpr int PauseMs = 100;
    // A wait ends on its timer's tick, but a handler that runs during the
    // wait (Cancel, the idle restore) may stop that timer. So that nothing a
    // user does can leave a wait without an end, every wait also ends on its
    // own this long after the tick was due.
    static constexpr int StoppedTimerGraceMs = 100;

    // The latest end of one wait on a timer of `intervalMs`: the interval and
    // the grace from now. A wait blocked in the event loop is woken then.
    class WaitBound
    {
    public:
        WaitBound(TimeSource& time, int intervalMs);
        bool passed() const;

    private:
        TimeSource& m_time;
        std::int64_t m_deadlineMicroseconds;
    };

    Link(CommPort& port, LinkTimer& timer1, LinkTimer& timer2, TimeSource& time, Prompts& prompts);
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // One operation on the link at a time. Every wait yields, so a command
    // could otherwise start a second exchange inside the first, take its
    // reply and leave the first waiting forever. A command holds an Operation
    // for as long as it runs; commands that find one running are ignored, and
    // the window refuses to close meanwhile.
    class Operation
    {
    public:
        explicit Operation(Link& link) : m_link(link) { ++m_link.m_operations; }
        ~Operation() { --m_link.m_operations; }
        Operation(const Operation&) = delete;
        Operation& operator=(const Operation&) = delete;

    private:
        Link& m_link;
    };
    bool operationRunning() const { return m_operations > 0; }

    CommPort& port() { return m_port; }
    LinkTimer& timer1() { return m_timer1; }
    LinkTimer& timer2() { return m_timer2; }
    TimeSource& time() { return m_time; }
    Prompts& prompts() { return m_prompts; }

    // Shared flags of the window's link state.
    bool waitingForReply = false;  // a reply wait runs; the Timer1 tick clears it
    bool pauseActive = false;      // a pause runs; the Timer2 tick clears it
    bool replyReceived = false;    // result of the last wait
    bool cancelRequested = false;  // set by Cancel; polled by the text reply wait
    bool linkOk = false;           // a card answered the last version query
    // The characters of the last text reply, one per byte (codes 0..255).
    QString replyText;

    void setAddressSettings();
    void setDataSettings();
    void writeByte(std::uint8_t byte);
    void write(const QByteArray& bytes);
    void sleepPacing();
    void yield();

    // Selects `card` and sends `command` under mark parity, then ends the
    // address phase with 0x00 under space parity.
    void versionAddressPhase(int card, std::uint8_t command);

    // Collects a reply text ended by 0xFF within 500 ms (management card) or
    // 200 ms (remote card). Afterwards replyReceived tells whether a complete
    // reply came; replyText holds it without the terminator. Ends at once,
    // without a reply, when cancelRequested is set, and after the timeout
    // even while bytes without a terminator keep coming.
    void awaitTextReply(int card);

    // Waits up to 1000 ms for a read whose first byte is 0x52; reads starting
    // with anything else are discarded. Cancel is not consulted.
    bool awaitAcknowledgement(QByteArray* lastRead = nullptr);

    // One tick of Timer2 at 100 ms.
    void pause(PauseForm form = PauseForm::Restoring);
    // Waits for the next tick of Timer2, which the caller has set running.
    void animationStep();

    // Beep, then the "Communication Error" box with its three hints.
    void showCommunicationError();
    // How many times the box has been shown, so that an operation can tell
    // whether it has already told the user.
    int communicationErrorCount() const { return m_communicationErrors; }
    // After a run-time error: when the device has gone (the port reads
    // closed) and the operation has shown no communication error since
    // `countBefore`, the box once. A vanished device is otherwise a silent
    // failure.
    void reportLostPort(int countBefore);
    static QString communicationErrorText();

    // Nothing waiting before a request can be its answer: it is a late answer
    // to an earlier request, or noise. Every request starts with a clear line.
    void discardStaleInput();

    // Closing and opening again discards everything waiting in both directions.
    void reopenPort();

    // A command that finds the port closed (no free port at start-up, or the
    // device went away) shows the communication error once instead of
    // failing at its first write. Returns whether the port is open.
    bool checkPortOpen();

    // Both timers disabled and back at their resting interval, and the bytes
    // still waiting discarded, so that a late answer cannot turn up at the
    // front of the next exchange's reply. Never throws.
    void settleTimersAndInput();

    // The close of every version exchange: leftovers discarded, the reply text
    // emptied, Timer1 back at its resting interval.
    void endVersionExchange();

    // One whole version exchange with one card, as the version query does it,
    // without the card-list bookkeeping: address phase, reply wait, the
    // communication error (unless cancelled) and the closing steps.
    // Returns whether a complete reply arrived; the text is in the result.
    // `onReply` gets a complete reply before the closing steps, so that what
    // it does with the answer happens while the exchange is still open.
    struct VersionReply
    {
        bool received = false;
        QString text;
    };
    VersionReply exchangeVersion(int card, std::uint8_t command,
                                 const std::function<void(const QString&)>& onReply = {});

    // The polls of a wait: the first pass only processes what is pending,
    // every later one blocks until the next event.
    void waitForNextEvent(bool& firstPass);

private:

    CommPort& m_port;
    LinkTimer& m_timer1;
    LinkTimer& m_timer2;
    TimeSource& m_time;
    Prompts& m_prompts;
    int m_operations = 0;
    int m_communicationErrors = 0;
};

} // namespace quorlink::link
