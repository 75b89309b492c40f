#include "resetrun.h"

#include "link.h"
#include "logging.h"
#include "operationevents.h"
#include "protocol.h"
#include "runprogress.h"

#include "platform/runtimeerror.h"

namespace quorlink::link {

namespace {

// The animation runs in ten equal steps and takes one more tick than that:
// the eleventh value is held at the bar's maximum.
constexpr int AnimationSteps = 10;
constexpr int AnimationTicks = AnimationSteps + 1;

} // namespace

ResetRun::ResetRun(Link& link, OperationEvents& events) : m_link(link), m_events(events) {}

QByteArray ResetRun::signature()
{
    return QByteArray(protocol::ResetSignature.data(), protocol::ResetSignature.size());
}

bool ResetRun::resetCards(ResetMode mode, const QList<int>& remoteCards, int listedRemoteCards)
{
    const int errorsBefore = m_link.communicationErrorCount();
    m_events.runStarts(RunKind::Reset, mode == ResetMode::ManagementCard
                                           ? QList<int>{protocol::ManagementCard}
                                           : remoteCards);
    bool acknowledged = false;
    try {
        // An empty choice must not turn into the all-cards address.
        const bool remote =
            (mode == ResetMode::RemoteCards || mode == ResetMode::SecondRemoteListOnly) &&
            !remoteCards.isEmpty();
        if ((mode == ResetMode::ManagementCard || remote) && m_link.checkPortOpen()) {
            // A late "R" of an earlier reset would acknowledge this one.
            m_link.discardStaleInput();
            if (mode == ResetMode::ManagementCard)
                sendManagementFrame();
            else if (remoteCards.size() == 1)
                sendFrameTo(protocol::addressByte(remoteCards.front()));
            else if (remoteCards.size() == listedRemoteCards)
                sendFrameTo(protocol::AllRemoteCardsAddress);
            else
                sendFramesTo(remoteCards);
            acknowledged = m_link.awaitAcknowledgement();
            // The port is not reopened after a reset.
            if (acknowledged)
                showAnimation();
            else
                m_link.showCommunicationError();
        }
    } catch (const RuntimeError& error) {
        qCInfo(lcLink) << "reset ended:" << error.message();
        acknowledged = false;
        m_link.reportLostPort(errorsBefore);
    }
    finish(acknowledged);
    return acknowledged;
}

void ResetRun::sendManagementFrame()
{
    m_link.setAddressSettings();
    m_link.yield();
    m_link.write(signature());
    m_link.writeByte(protocol::addressByte(protocol::ManagementCard));
    m_link.sleepPacing();
    m_link.writeByte(protocol::ResetCommand);
    m_link.sleepPacing();
    m_link.setDataSettings();
    m_link.writeByte(protocol::EndOfAddressPhase);
    m_link.yield();
}

void ResetRun::sendFrameTo(std::uint8_t address)
{
    m_link.setAddressSettings();
    m_link.yield();
    m_link.write(signature());
    m_link.sleepPacing();
    m_link.writeByte(address);
    m_link.sleepPacing();
    m_link.writeByte(protocol::ResetCommand);
    closeRemoteFrames();
}

void ResetRun::sendFramesTo(const QList<int>& cards)
{
    m_link.setAddressSettings();
    m_link.yield();
    for (const int card : cards) {
        m_link.sleepPacing();
        m_link.write(signature());
        m_link.sleepPacing();
        m_link.writeByte(protocol::addressByte(card));
        m_link.sleepPacing();
        m_link.writeByte(protocol::ResetCommand);
    }
    closeRemoteFrames();
}

// One 0x00 under space parity ends the frames, whatever their number.
void ResetRun::closeRemoteFrames()
{
    m_link.yield();
    m_link.sleepPacing();
    m_link.setDataSettings();
    m_link.writeByte(protocol::EndOfAddressPhase);
    m_link.yield();
}

// A fixed, timed animation: the cards restart on their own and report nothing.
void ResetRun::showAnimation()
{
    RunProgress progress(AnimationSteps);
    m_events.progressTextLight(false);
    m_events.progress(0);
    m_events.stageReached(Stage::Starting);
    m_link.yield();
    for (int tick = 0; tick < AnimationTicks; ++tick) {
        m_link.pause(PauseForm::Short);
        progress.advance();
        if (progress.whiteText())
            m_events.progressTextLight(true);
        m_events.progress(progress.barValue());
        m_events.stageReached(Stage::InProcess);
    }
    m_events.progress(RunProgress::BarMaximum);
    m_events.stageReached(Stage::Completed);
    m_link.pause();
    m_events.progress(0);
    m_events.stageReached(Stage::Idle);
}

void ResetRun::finish(bool acknowledged)
{
    m_events.runOutcome(RunKind::Reset, acknowledged);
    m_events.runEnds(RunKind::Reset);
    m_link.settleTimersAndInput();
}

} // namespace quorlink::link
