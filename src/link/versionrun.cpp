#include "versionrun.h"

#include "link.h"
#include "logging.h"
#include "operationview.h"
#include "protocol.h"
#include "runprogress.h"

#include "platform/runtimeerror.h"

namespace quorlink::link {

namespace {

const QString GettingVersion = QStringLiteral("Status: Getting version");
const QString GettingVersionInProcess = QStringLiteral("Status: Getting version in process ...");
const QString GettingVersionCompleted = QStringLiteral("Status: Getting version completed");

const QString FirmwarePrefix = QStringLiteral(" F/W - ");
const QString HardwarePrefix = QStringLiteral(" H/W - ");

} // namespace

VersionRun::VersionRun(Link& link, OperationView& view, Options options)
    : m_link(link), m_view(view), m_options(options), m_errorsBefore(link.communicationErrorCount())
{
}

std::uint8_t VersionRun::command() const
{
    return m_options.hardware ? protocol::HardwareVersionCommand : protocol::FirmwareVersionCommand;
}

QString VersionRun::answerPrefix() const
{
    return m_options.hardware && !m_options.updateMode ? HardwarePrefix : FirmwarePrefix;
}

void VersionRun::showStatus(const QString& text)
{
    m_status = text;
    m_view.showStatus(text);
}

void VersionRun::getVersions(int scope, const QList<int>& remoteCards)
{
    if (scope == Scope::None)
        return;
    m_view.lockForVersionRun();
    if (scope == Scope::ManagementCard)
        runManagementCard();
    else
        runRemoteCards(remoteCards);
    m_view.endVersionRun();
}

void VersionRun::runManagementCard()
{
    showStatus(GettingVersion);
    m_view.showProgressTextColour(Colour::Black);
    m_view.showProgress(0);
    m_link.pause();

    m_view.showManagerQueryStarting();
    m_link.pause(PauseForm::Short);
    showStatus(GettingVersionInProcess);
    queryCardVersion(protocol::ManagementCard);
    m_link.yield();

    m_view.showProgressTextColour(Colour::White);
    m_link.pause(PauseForm::Short);
    m_view.showProgress(RunProgress::BarMaximum);
    showStatus(GettingVersionCompleted);
    m_link.pause();
    m_view.showProgress(0);
    showStatus(IdleStatusText);

    if (m_options.updateMode)
        return;
    m_view.finishManagerVersionRun();
    m_link.replyReceived = false;
}

void VersionRun::runRemoteCards(const QList<int>& cards)
{
    m_view.showProgressTextColour(Colour::Black);
    m_view.showProgress(0);
    showStatus(GettingVersion);
    m_link.pause();

    RunProgress progress(cards.size());
    m_link.replyReceived = true;
    for (const int card : cards) {
        // Progress counts the card about to be asked, so a single card shows
        // 100 from its start.
        progress.advance();
        if (progress.whiteText())
            m_view.showProgressTextColour(Colour::White);
        m_view.showProgress(progress.barValue());
        if (progress.value() > 1 && m_status != GettingVersionInProcess)
            showStatus(GettingVersionInProcess);
        m_view.showRemoteQueryStarting(card);
        m_link.yield();
        queryCardVersion(card);
        m_link.yield();
        if (!m_link.replyReceived)
            break;
    }
    if (m_link.replyReceived) {
        m_link.pause(PauseForm::Short);
        m_view.showProgress(RunProgress::BarMaximum);
        showStatus(GettingVersionCompleted);
        m_link.yield();
    }
    m_link.pause();
    m_view.showProgress(0);
    showStatus(IdleStatusText);

    if (m_options.updateMode)
        return;
    m_view.finishRemoteVersionRun();
    m_link.replyReceived = false;
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
        m_view.restoreIdleState();
        m_link.yield();
    }
}

void VersionRun::takeAnswer(int card, const QString& reply)
{
    const QString answer = answerPrefix() + reply;
    const bool notResponding = reply == protocol::NotResponding;
    if (card != protocol::ManagementCard)
        m_view.showRemoteAnswerArriving(card);
    if (m_options.updateMode) {
        m_view.storeVersionText(card, answer);
        return;
    }
    m_view.appendVersionText(card, answer);
    if (card == protocol::ManagementCard) {
        if (notResponding)
            m_view.deselectCard(card);
        return;
    }
    m_link.pause();
    if (notResponding)
        m_view.deselectCard(card);
    else
        m_view.keepCardSelected(card);
}

} // namespace quorlink::link
