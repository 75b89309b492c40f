#include "download.h"

#include "link.h"
#include "logging.h"
#include "operationevents.h"
#include "platform/commport.h"
#include "platform/prompts.h"
#include "platform/runtimeerror.h"
#include "platform/timesource.h"
#include "runprogress.h"

#include <cmath>

namespace quorlink::link {

namespace {

std::uint8_t firstByteOf(const QByteArray& reply)
{
    return reply.isEmpty() ? 0 : static_cast<std::uint8_t>(reply.at(0));
}

} // namespace

int DownloadProgress::barValue() const
{
    return static_cast<int>(std::nearbyint(progressPercent));
}

void DownloadProgress::addCharacters(int count)
{
    bytesSent += count;
    progressPercent = bytesSent / static_cast<double>(progressUnit);
}

FirmwareDownload::FirmwareDownload(Link& link, OperationEvents& events)
    : m_link(link), m_events(events)
{
}

bool FirmwareDownload::downloadToCard(int target, const QStringList& records,
                                      const RemoteCardFlags& groupFlags, DownloadProgress& progress)
{
    const int errorsBefore = m_link.communicationErrorCount();
    try {
        run(target, records, groupFlags, progress);
    } catch (const RuntimeError& error) {
        qCInfo(lcLink) << "download to target" << target << "failed:" << error.message();
        // The error may strike inside the ready or record wait, its timer running.
        m_link.settleTimersAndInput();
        m_link.reportLostPort(errorsBefore);
        m_events.runInterrupted();
        m_link.yield();
        // A record's acknowledgement may have set it just before the error; the
        // caller must not take the download as done.
        m_link.replyReceived = false;
    }
    return m_link.replyReceived;
}

void FirmwareDownload::run(int target, const QStringList& records,
                           const RemoteCardFlags& groupFlags, DownloadProgress& progress)
{
    m_link.setAddressSettings();
    m_events.downloadStage(DownloadStage::Begins, target);
    m_link.replyReceived = false;
    m_link.timer1().setInterval(LinkTimer::RestingIntervalMs);

    addressPhase(target, groupFlags);
    m_link.yield();
    m_link.sleepPacing();
    m_link.setDataSettings();
    m_link.writeByte(protocol::EndOfAddressPhase);

    if (awaitReady() && sendData(target, records, progress))
        succeeded(target, progress);
    else
        failed();

    m_link.timer1().setInterval(LinkTimer::RestingIntervalMs);
    m_events.downloadStage(DownloadStage::Ends, target);
}

// The group addresses every flagged card, 2 to 64, in ascending order.
void FirmwareDownload::addressPhase(int target, const RemoteCardFlags& groupFlags)
{
    const auto select = [this](std::uint8_t address) {
        m_link.sleepPacing();
        m_link.writeByte(address);
        m_link.sleepPacing();
        m_link.writeByte(protocol::DownloadCommand);
    };
    if (target != DownloadTarget::FlaggedGroup) {
        select(protocol::addressByte(target));
        return;
    }
    for (std::size_t i = 0; i < groupFlags.size(); ++i) {
        if (groupFlags[i])
            select(protocol::addressByte(static_cast<int>(i) + protocol::FirstRemoteCard));
    }
}

bool FirmwareDownload::awaitReady()
{
    CommPort& port = m_link.port();
    for (int restarts = 0; restarts <= MaxReadyRestarts; ++restarts) {
        m_link.waitingForReply = true;
        m_link.timer1().setEnabled(true);
        const Link::WaitBound bound(m_link.time(), m_link.timer1().interval());
        bool firstPass = true;
        for (;;) {
            m_link.waitForNextEvent(firstPass);
            if (port.inBufferCount() != 0) {
                const QByteArray reply = port.input();
                m_link.timer1().setEnabled(false);
                m_link.waitingForReply = true;
                if (firstByteOf(reply) == protocol::Ready)
                    return true;
                m_link.replyReceived = false;
                break; // the read is discarded and the full wait starts anew
            }
            if (!m_link.waitingForReply || bound.passed()) {
                m_link.timer1().setEnabled(false);
                m_link.replyReceived = false;
                return false;
            }
        }
    }
    qCInfo(lcLink) << "no ready reply among" << MaxReadyRestarts + 1 << "reads";
    return false;
}

// Records 0 .. count - 2 from the file, then the fixed end record. The
// management card's progress runs on from the caller's values over both
// images; a remote download starts its bar at 0.
bool FirmwareDownload::sendData(int target, const QStringList& records, DownloadProgress& progress)
{
    const bool manager = target == DownloadTarget::ManagementCard;
    if (!manager) {
        progress.progressPercent = 0;
        m_events.progressTextLight(false);
        m_events.progress(0);
        m_events.stageReached(Stage::Starting);
    }

    const qsizetype dataRecords = records.size() - 1;
    if (dataRecords < 1)
        return false; // the file check lets no such image through

    QString line = records.first().left(protocol::RecordLength);
    if (manager) {
        progress.addCharacters(static_cast<int>(line.size()));
        m_events.progress(progress.barValue());
        showRecordProgress(progress);
    }
    sendRecord(line, progress);
    if (!m_link.replyReceived)
        return false;
    m_events.stageReached(Stage::InProcess);

    for (qsizetype i = 1; i < dataRecords; ++i) {
        line = records.at(i).left(protocol::RecordLength);
        progress.addCharacters(static_cast<int>(line.size()));
        showRecordProgress(progress);
        sendRecord(line, progress);
        if (!m_link.replyReceived)
            return false;
        m_link.yield();
    }

    const QString endRecord = protocol::EndRecord;
    progress.addCharacters(static_cast<int>(endRecord.size()));
    m_events.progress(progress.barValue());
    sendRecord(endRecord, progress);
    return m_link.replyReceived;
}

// The bar's text turns light once the filled part reaches it (repeated for
// every record after that).
void FirmwareDownload::showRecordProgress(const DownloadProgress& progress)
{
    if (progress.progressPercent > RunProgress::WhiteTextAbove)
        m_events.progressTextLight(true);
    m_events.progress(progress.barValue());
}

void FirmwareDownload::sendRecord(const QString& line, const DownloadProgress& progress)
{
    int failures = 0;
    // Timeouts, refusals and other bytes share the one count of attempts.
    const auto anotherAttempt = [&](bool sleepFirst) {
        if (++failures >= MaxAttempts)
            return false;
        if (sleepFirst)
            m_link.sleepPacing();
        m_events.progress(progress.barValue()); // a repaint; the value does not change
        // A late answer to the attempt just given up must not be taken as the
        // answer to the next one.
        m_link.port().clearInBuffer();
        return true;
    };

    for (;;) {
        transmit(line);
        QByteArray reply;
        if (awaitRecordReply(reply) == RecordReply::Timeout) {
            if (!anotherAttempt(true))
                return; // replyReceived is False after the empty poll
            continue;
        }
        switch (firstByteOf(reply)) {
        case protocol::RecordAccepted:
            m_link.replyReceived = true;
            return;
        case protocol::DownloadAborted:
            m_link.replyReceived = false;
            verifyFailed = true;
            return;
        case protocol::RecordRefused:
            if (!anotherAttempt(false)) {
                m_link.replyReceived = false;
                verifyFailed = true;
                return;
            }
            break;
        default:
            if (!anotherAttempt(false)) {
                m_link.replyReceived = false;
                return;
            }
            break;
        }
    }
}

// The record's characters back to back under the data setting, nothing
// before or after them. One write for the whole record: the wire carries the
// same bytes as a write per character, without a system call and a flush for
// each of them.
void FirmwareDownload::transmit(const QString& line)
{
    m_link.write(line.toLatin1());
}

// The record wait runs on Timer2 at its resting interval (1000 ms).
FirmwareDownload::RecordReply FirmwareDownload::awaitRecordReply(QByteArray& reply)
{
    CommPort& port = m_link.port();
    LinkTimer& timer2 = m_link.timer2();
    m_link.pauseActive = true;
    verifyFailed = false;
    timer2.setEnabled(true);
    const Link::WaitBound bound(m_link.time(), timer2.interval());
    bool firstPass = true;
    for (;;) {
        m_link.waitForNextEvent(firstPass);
        if (port.inBufferCount() == 0) {
            m_link.replyReceived = false;
            if (!m_link.pauseActive || bound.passed()) {
                timer2.setEnabled(false);
                m_link.pauseActive = true;
                return RecordReply::Timeout;
            }
            continue;
        }
        reply = port.input();
        timer2.setEnabled(false);
        m_link.pauseActive = true;
        m_link.replyReceived = true;
        return RecordReply::Byte;
    }
}

void FirmwareDownload::failed()
{
    if (verifyFailed) {
        m_link.prompts().beep();
        m_link.prompts().message(QStringLiteral("Verification Error"), MessageStyle::CriticalOk,
                                 QStringLiteral("Verification Error"));
    } else {
        m_link.showCommunicationError();
    }
    verifyFailed = false;
    m_link.reopenPort();
    m_events.progress(0);
    m_events.stageReached(Stage::Idle);
    m_link.yield();
}

void FirmwareDownload::succeeded(int target, const DownloadProgress& progress)
{
    // The management card stores the image for about two seconds; the bar
    // creeps on meanwhile.
    if (target == DownloadTarget::ManagementCard) {
        creepBar(m_link, m_events, progress, StoreCreepMs, false);
        m_link.yield();
    }
    m_link.timer2().setEnabled(false);
    m_events.progress(100);
    m_events.stageReached(Stage::Completed);
    m_link.yield();
    m_link.pause();
    m_events.progress(0);
    m_events.stageReached(Stage::Idle);
    m_events.downloadStage(DownloadStage::Stored, target);
}

void creepBar(Link& link, OperationEvents& events, const DownloadProgress& progress, int stepMs,
              bool lightText)
{
    LinkTimer& timer2 = link.timer2();
    timer2.setInterval(stepMs);
    timer2.setEnabled(true);
    const int first = static_cast<int>(std::nearbyint(progress.progressPercent + 1));
    const int last = static_cast<int>(std::nearbyint(progress.progressPercent + CreepSteps));
    for (int k = first; k <= last; ++k) {
        link.animationStep();
        if (lightText && progress.progressPercent > RunProgress::WhiteTextAbove)
            events.progressTextLight(true);
        events.progress(k);
    }
}

} // namespace quorlink::link
