#include "link.h"

#include "logging.h"
#include "platform/commport.h"
#include "platform/prompts.h"
#include "platform/runtimeerror.h"
#include "platform/timesource.h"

namespace quorlink::link {

Link::Link(CommPort& port, LinkTimer& timer1, LinkTimer& timer2, TimeSource& time,
           Prompts& prompts)
    : m_port(port), m_timer1(timer1), m_timer2(timer2), m_time(time), m_prompts(prompts)
{
    // The tick handlers do exactly one thing each; the waits read the flags
    // after every event.
    m_timer1.setTickHandler([this] { waitingForReply = false; });
    m_timer2.setTickHandler([this] { pauseActive = false; });
}

Link::~Link()
{
    m_timer1.setTickHandler({});
    m_timer2.setTickHandler({});
}

Link::WaitBound::WaitBound(TimeSource& time, int intervalMs)
    : m_time(time),
      m_deadlineMicroseconds(time.nowMicroseconds() +
                             (std::int64_t{intervalMs} + StoppedTimerGraceMs) * 1000)
{
    m_time.wakeAt(m_deadlineMicroseconds);
}

bool Link::WaitBound::passed() const
{
    return m_time.nowMicroseconds() >= m_deadlineMicroseconds;
}

void Link::setAddressSettings()
{
    m_port.setSettings(protocol::AddressSettings);
}

void Link::setDataSettings()
{
    m_port.setSettings(protocol::DataSettings);
}

void Link::writeByte(std::uint8_t byte)
{
    m_port.output(QByteArray(1, static_cast<char>(byte)));
}

void Link::write(const QByteArray& bytes)
{
    m_port.output(bytes);
}

void Link::sleepPacing()
{
    m_time.sleep(PacingMs);
}

void Link::yield()
{
    m_time.yield();
}

// The first look after starting a wait only processes what is pending; every
// later one blocks until something happens, so an idle wait costs no CPU.
void Link::waitForNextEvent(bool& firstPass)
{
    if (firstPass) {
        firstPass = false;
        m_time.yield();
    } else {
        m_time.waitForEvent();
    }
}

void Link::versionAddressPhase(int card, std::uint8_t command)
{
    setAddressSettings();
    writeByte(protocol::addressByte(card));
    sleepPacing();
    writeByte(command);
    yield();
    sleepPacing();
    setDataSettings();
    writeByte(protocol::EndOfAddressPhase);
    yield();
}

void Link::awaitTextReply(int card)
{
    const int timeout =
        card == protocol::ManagementCard ? ManagementReplyTimeoutMs : RemoteReplyTimeoutMs;
    bool terminatorSeen = false;
    waitingForReply = true;
    m_timer1.setInterval(timeout);
    m_timer1.setEnabled(true);
    const WaitBound bound(m_time, timeout);
    const auto over = [&] { return !waitingForReply || cancelRequested || bound.passed(); };

    bool firstPass = true;
    bool sawData = false;
    for (;;) {
        // After data, look again at once: more may already be waiting.
        if (sawData)
            m_time.yield();
        else
            waitForNextEvent(firstPass);
        sawData = false;
        if (m_port.inBufferCount() == 0) {
            replyReceived = false;
            if (over()) {
                m_timer1.setEnabled(false);
                return;
            }
            continue;
        }
        // Every byte read is scanned: a byte that arrived between counting and
        // reading must not be lost.
        const QByteArray bytes = m_port.input();
        replyReceived = true;
        sawData = true;
        for (const char byte : bytes) {
            if (static_cast<std::uint8_t>(byte) == protocol::ReplyTerminator) {
                terminatorSeen = true;
                break;  // bytes after the terminator are dropped
            }
            replyText.append(QChar(static_cast<unsigned char>(byte)));
        }
        if (!terminatorSeen) {
            // The timer keeps running; partial data does not restart it. A
            // line that keeps sending never shows an empty buffer, so the
            // timeout is also looked at after each read.
            if (over()) {
                replyReceived = false;
                m_timer1.setEnabled(false);
                return;
            }
            continue;
        }
        if (card == protocol::ManagementCard)
            reopenPort();
        m_timer1.setEnabled(false);
        waitingForReply = true;
        return;
    }
}

bool Link::awaitAcknowledgement(QByteArray* lastRead)
{
    m_timer1.setInterval(AcknowledgementTimeoutMs);
    waitingForReply = true;
    m_timer1.setEnabled(true);
    const WaitBound bound(m_time, AcknowledgementTimeoutMs);

    bool firstPass = true;
    for (;;) {
        waitForNextEvent(firstPass);
        if (m_port.inBufferCount() != 0) {
            const QByteArray reply = m_port.input();
            if (lastRead)
                *lastRead = reply;
            // Only the first byte of each read counts.
            if (!reply.isEmpty() && static_cast<std::uint8_t>(reply.at(0)) == protocol::Ready) {
                m_timer1.setEnabled(false);
                return true;
            }
        }
        if (!waitingForReply || bound.passed()) {
            m_timer1.setEnabled(false);
            return false;
        }
    }
}

void Link::pause(PauseForm form)
{
    m_timer2.setInterval(PauseMs);
    pauseActive = true;
    m_timer2.setEnabled(true);
    animationStep();
    m_timer2.setEnabled(false);
    if (form == PauseForm::Restoring)
        m_timer2.setInterval(LinkTimer::RestingIntervalMs);
}

void Link::animationStep()
{
    const WaitBound bound(m_time, m_timer2.interval());
    pauseActive = true;
    while (pauseActive && !bound.passed())
        m_time.waitForEvent();
}

QString Link::communicationErrorText()
{
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("Communication Error") + crlf + crlf + QStringLiteral("1. Check Serial Cable")
           + crlf + QStringLiteral("2. Check Com Port Settings") + crlf
           + QStringLiteral("3. Check \"Upgrade\" (F10) Function");
}

void Link::showCommunicationError()
{
    qCInfo(lcLink) << "communication error on" << m_port.deviceName();
    ++m_communicationErrors;
    m_prompts.beep();
    m_prompts.message(communicationErrorText(), MessageStyle::CriticalOk,
                      QStringLiteral("Communication Error"));
}

bool Link::checkPortOpen()
{
    if (m_port.portOpen())
        return true;
    showCommunicationError();
    return false;
}

void Link::reportLostPort(int countBefore)
{
    if (!m_port.portOpen() && m_communicationErrors == countBefore)
        showCommunicationError();
}

void Link::discardStaleInput()
{
    m_port.clearInBuffer();
}

void Link::reopenPort()
{
    m_port.setPortOpen(false);
    m_port.setPortOpen(true);
}

void Link::settleTimersAndInput()
{
    m_timer1.setEnabled(false);
    m_timer2.setEnabled(false);
    m_timer1.setInterval(LinkTimer::RestingIntervalMs);
    m_timer2.setInterval(LinkTimer::RestingIntervalMs);
    // A port that has gone has nothing waiting.
    if (!m_port.portOpen())
        return;
    try {
        m_port.clearInBuffer();
    } catch (const RuntimeError& error) {
        qCInfo(lcLink) << "discarding input:" << error.message();
    }
}

void Link::endVersionExchange()
{
    m_port.clearInBuffer();
    yield();
    replyText.clear();
    m_timer1.setInterval(LinkTimer::RestingIntervalMs);
}

Link::VersionReply Link::exchangeVersion(int card, std::uint8_t command,
                                         const std::function<void(const QString&)>& onReply)
{
    // An answer that came after its own exchange had ended (a slow card, the
    // rest of a reply that paused too long) would otherwise be read as the
    // start of this card's answer.
    discardStaleInput();
    setAddressSettings();
    replyText.clear();
    replyReceived = false;
    versionAddressPhase(card, command);
    awaitTextReply(card);

    VersionReply result{replyReceived, replyText};
    if (!replyReceived) {
        if (!cancelRequested) {
            showCommunicationError();
            reopenPort();
            linkOk = false;
        }
    } else {
        linkOk = true;
        if (onReply)
            onReply(result.text);
    }
    endVersionExchange();
    return result;
}

} // namespace quorlink::link
