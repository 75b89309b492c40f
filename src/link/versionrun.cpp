#include "versionrun.h"

#include "link.h"
#include "logging.h"
#include "operationevents.h"
#include "protocol.h"
#include "runprogress.h"

#include "platform/runtimeerror.h"

namespace quorlink::link {

VersionRun::VersionRun(Link& link, OperationEvents& events, Options options)
    : m_link(link), m_events(events), m_options(options),
      m_errorsBefore(link.communicationErrorCount())
{
}

std::uint8_t VersionRun::command() const
{
    return m_options.hardware ? protocol::HardwareVersionCommand : protocol::FirmwareVersionCommand;
}

RunKind VersionRun::kind() const
{
    if (m_options.updateMode)
        return RunKind::VersionsForUpdate;
    return m_options.hardware ? RunKind::HardwareVersions : RunKind::FirmwareVersions;
}

void VersionRun::getVersions(Scope scope, const QList<int>& remoteCards)
{
    if (scope == Scope::None)
        return;
    const bool manager = scope == Scope::ManagementCard;
    m_events.runStarts(kind(), manager ? QList<int>{protocol::ManagementCard} : remoteCards);
    if (manager)
        runManagementCard();
    else
        runRemoteCards(remoteCards);
    m_events.runOutcome(kind(), m_link.replyReceived);
    if (!m_options.updateMode)
        m_link.replyReceived = false;
    m_events.runEnds(kind());
}

void VersionRun::runManagementCard()
{
    m_events.stageReached(Stage::Starting);
    m_events.progressTextLight(false);
    m_events.progress(0);
    m_link.pause();

    m_events.cardAsked(protocol::ManagementCard);
    m_link.pause(PauseForm::Short);
    m_events.stageReached(Stage::InProcess);
    queryCardVersion(protocol::ManagementCard);
    m_link.yield();

    m_events.progressTextLight(true);
    m_link.pause(PauseForm::Short);
    m_events.progress(RunProgress::BarMaximum);
    m_events.stageReached(Stage::Completed);
    m_link.pause();
    m_events.progress(0);
    m_events.stageReached(Stage::Idle);
}

void VersionRun::runRemoteCards(const QList<int>& cards)
{
    m_events.progressTextLight(false);
    m_events.progress(0);
    m_events.stageReached(Stage::Starting);
    m_link.pause();

    RunProgress progress(cards.size());
    bool inProcess = false;
    m_link.replyReceived = true;
    for (const int card : cards) {
        // Progress counts the card about to be asked, so a single card shows
        // 100 from its start.
        progress.advance();
        if (progress.whiteText())
            m_events.progressTextLight(true);
        m_events.progress(progress.barValue());
        if (progress.value() > 1 && !inProcess) {
            m_events.stageReached(Stage::InProcess);
            inProcess = true;
        }
        m_events.cardAsked(card);
        m_link.yield();
        queryCardVersion(card);
        m_link.yield();
        if (!m_link.replyReceived)
            break;
    }
    if (m_link.replyReceived) {
        m_link.pause(PauseForm::Short);
        m_events.progress(RunProgress::BarMaximum);
        m_events.stageReached(Stage::Completed);
        m_link.yield();
    }
    m_link.pause();
    m_events.progress(0);
    m_events.stageReached(Stage::Idle);
}

void VersionRun::queryCardVersion(int card)
{
    try {
        m_link.exchangeVersion(card, command(),
                               [this, card](const QString& reply) { takeAnswer(card, reply); });
    } catch (const RuntimeError& error) {
        qCInfo(lcLink) << "version query of card" << card << "ended:" << error.message();
        m_link.replyReceived = false;
        // The error may strike inside the reply wait, with Timer1 running.
        m_link.settleTimersAndInput();
        m_link.reportLostPort(m_errorsBefore);
        m_events.runInterrupted();
        m_link.yield();
    }
}

void VersionRun::takeAnswer(int card, const QString& reply)
{
    const bool notResponding = reply == protocol::NotResponding;
    m_events.cardAnswered(card, notResponding ? Answer::NotResponding : Answer::Version, reply);
    if (m_options.updateMode)
        return;
    if (card == protocol::ManagementCard) {
        if (notResponding)
            m_events.cardKept(card, false);
        return;
    }
    m_link.pause();
    m_events.cardKept(card, !notResponding);
}

} // namespace quorlink::link
