#include "updaterun.h"

#include "link.h"
#include "operationevents.h"
#include "platform/prompts.h"
#include "platform/timesource.h"
#include "runprogress.h"

namespace quorlink::link {

namespace {

// The management card's two images span about 80 % of the bar; the creeps
// fill the rest.
constexpr int ManagerProgressSpan = 80;

} // namespace

UpdateRun::UpdateRun(Link& link, OperationEvents& events,
                     std::function<void(Scope scope)> readBackVersions)
    : m_link(link), m_events(events), m_download(link, events),
      m_readBackVersions(std::move(readBackVersions))
{
}

int UpdateRun::remoteTarget(const QList<int>& cards, int remoteCardCount)
{
    if (cards.size() == 1)
        return cards.first();
    if (cards.size() == remoteCardCount)
        return DownloadTarget::AllRemoteCards;
    return DownloadTarget::FlaggedGroup;
}

void UpdateRun::run(const UpdatePlan& plan, RemoteCardFlags& remoteCardSelected)
{
    if (plan.scope == Scope::None)
        return;
    const bool manager = plan.scope == Scope::ManagementCard;
    // All 64: a card flagged by an earlier command must not join this group.
    remoteCardSelected.fill(false);
    if (!manager) {
        for (const int card : plan.remoteCards)
            remoteCardSelected[static_cast<std::size_t>(card - protocol::FirstRemoteCard)] = true;
    }
    m_events.runStarts(RunKind::Update,
                       manager ? QList<int>{protocol::ManagementCard} : plan.remoteCards);
    if (manager)
        managerRun(plan, remoteCardSelected);
    else
        remoteRun(plan, remoteCardSelected);
    m_link.replyReceived = false;
    m_events.runEnds(RunKind::Update);
}

void UpdateRun::managerRun(const UpdatePlan& plan, const RemoteCardFlags& flags)
{
    DownloadProgress progress;
    progress.progressUnit =
        static_cast<float>(static_cast<double>(plan.fileLength) / ManagerProgressSpan);

    const int card = DownloadTarget::ManagementCard;
    bool stored = m_download.downloadToCard(card, plan.secondImage, flags, progress);
    if (stored) {
        creepBetweenImages(progress);
        stored = m_download.downloadToCard(card, plan.firstImage, flags, progress);
    }
    if (!stored) {
        m_events.runOutcome(RunKind::Update, false);
        return;
    }
    if (plan.languageChange)
        programmingWait(LanguageProgrammingStepMs);
    endProgramming();
    m_readBackVersions(Scope::ManagementCard);
    m_link.yield();
    m_events.runOutcome(RunKind::Update, true);
    m_link.prompts().message(QStringLiteral("Now Your OSD Hot Key has been reset to Shift-Shift"),
                             MessageStyle::ExclamationOk, QStringLiteral("Warning"));
}

// The second download continues from where the creep leaves the bar.
void UpdateRun::creepBetweenImages(DownloadProgress& progress)
{
    creepBar(m_link, m_events, progress, ManagerStepMs, true);
    LinkTimer& timer2 = m_link.timer2();
    timer2.setEnabled(false);
    timer2.setInterval(LinkTimer::RestingIntervalMs);
    progress.progressPercent += CreepSteps;
    progress.bytesSent = static_cast<double>(progress.progressUnit) * progress.progressPercent;
    m_link.yield();
}

void UpdateRun::remoteRun(const UpdatePlan& plan, const RemoteCardFlags& flags)
{
    DownloadProgress progress;
    progress.progressUnit = static_cast<float>(static_cast<double>(plan.fileLength) / 100);
    const int target = remoteTarget(plan.remoteCards, plan.remoteCardCount);
    const bool stored = m_download.downloadToCard(target, plan.records, flags, progress);
    m_events.downloadStage(DownloadStage::Over, target);
    if (stored) {
        programmingWait(RemoteProgrammingStepMs);
        endProgramming();
        m_readBackVersions(plan.scope);
    }
    m_events.runOutcome(RunKind::Update, stored);
}

// The cards program what they received: the bar runs from 0 to 100.
void UpdateRun::programmingWait(int stepMs)
{
    m_events.stageReached(Stage::Programming);
    LinkTimer& timer2 = m_link.timer2();
    timer2.setInterval(stepMs);
    timer2.setEnabled(true);
    for (int k = 0; k <= 100; ++k) {
        m_events.progress(k);
        m_link.animationStep();
        if (k > RunProgress::WhiteTextAbove)
            m_events.progressTextLight(true);
    }
    timer2.setEnabled(false);
    m_link.pause();
}

void UpdateRun::endProgramming()
{
    m_events.stageReached(Stage::Idle);
    m_events.progress(0);
    m_link.yield();
    m_events.stageReached(Stage::Programmed);
    m_link.yield();
}

} // namespace quorlink::link
