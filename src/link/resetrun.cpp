#include "resetrun.h"

#include "link.h"
#include "logging.h"
#include "operationview.h"
#include "protocol.h"
#include "runprogress.h"

#include "platform/runtimeerror.h"

namespace quorlink::link {

namespace {

const QString Resetting = QStringLiteral("Status: Reset");
const QString ResetInProcess = QStringLiteral("Status: Reset in process ...");
const QString ResetCompleted = QStringLiteral("Status: Reset completed");

// The animation runs in ten equal steps and takes one more tick than that:
// the eleventh value is held at the bar's maximum.
constexpr int AnimationSteps = 10;
constexpr int AnimationTicks = AnimationSteps + 1;

} // namespace

ResetRun::ResetRun(Link& link, OperationView& view) : m_link(link), m_view(view) {}

QByteArray ResetRun::signature()
{
    return QByteArray(protocol::ResetSignature.data(), protocol::ResetSignature.size());
}

bool ResetRun::resetCards(int mode, const QList<int>& remoteCards, int listedRemoteCards)
{
    const int errorsBefore = m_link.communicationErrorCount();
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
    finish();
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
    m_view.showProgressTextColour(Colour::Black);
    m_view.showProgress(0);
    m_view.showStatus(Resetting);
    m_link.yield();
    for (int tick = 0; tick < AnimationTicks; ++tick) {
        m_link.pause(PauseForm::Short);
        progress.advance();
        if (progress.whiteText())
            m_view.showProgressTextColour(Colour::White);
        m_view.showProgress(progress.barValue());
        m_view.showStatus(ResetInProcess);
    }
    m_view.showProgress(RunProgress::BarMaximum);
    m_view.showStatus(ResetCompleted);
    m_link.pause();
    m_view.showProgress(0);
    m_view.showStatus(IdleStatusText);
}

void ResetRun::finish()
{
    m_view.finishReset();
    m_link.settleTimersAndInput();
}

} // namespace quorlink::link
