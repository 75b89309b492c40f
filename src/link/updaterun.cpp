#include "updaterun.h"

#include "link.h"
#include "operationview.h"
#include "platform/prompts.h"
#include "platform/timesource.h"
#include "runprogress.h"

namespace quorlink::link {

namespace {

// The management card's two images span about 80 % of the bar; the creeps
// fill the rest.
constexpr int ManagerProgressSpan = 80;

} // namespace

UpdateRun::UpdateRun(Link& link, OperationView& view,
                     std::function<void(int scope)> readBackVersions)
    : m_link(link), m_view(view), m_download(link, view),
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
    // All 64: a card flagged by an earlier command must not join this group.
    remoteCardSelected.fill(false);
    m_view.updateRunBegins();
    if (plan.scope == Scope::ManagementCard) {
        managerRun(plan, remoteCardSelected);
    } else {
        for (const int card : plan.remoteCards)
            remoteCardSelected[static_cast<std::size_t>(card - protocol::FirstRemoteCard)] = true;
        remoteRun(plan, remoteCardSelected);
    }
    m_link.replyReceived = false;
    m_view.updateRunEnds();
}

void UpdateRun::managerRun(const UpdatePlan& plan, const RemoteCardFlags& flags)
{
    m_view.managerRunBegins();
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
        m_view.managerRunEnds();
        return;
    }
    if (plan.languageChange)
        programmingWait(LanguageProgrammingStepMs);
    backToBlue();
    m_readBackVersions(Scope::ManagementCard);
    m_link.yield();
    m_view.managerRunEnds();
    m_link.prompts().message(QStringLiteral("Now Your OSD Hot Key has been reset to Shift-Shift"),
                             MessageStyle::ExclamationOk, QStringLiteral("Warning"));
}

// The second download continues from where the creep leaves the bar.
void UpdateRun::creepBetweenImages(DownloadProgress& progress)
{
    creepBar(m_link, m_view, progress, ManagerStepMs, true);
    LinkTimer& timer2 = m_link.timer2();
    timer2.setEnabled(false);
    timer2.setInterval(LinkTimer::RestingIntervalMs);
    progress.progressPercent += CreepSteps;
    progress.bytesSent = static_cast<double>(progress.progressUnit) * progress.progressPercent;
    m_link.yield();
}

void UpdateRun::remoteRun(const UpdatePlan& plan, const RemoteCardFlags& flags)
{
    m_view.remoteRunBegins();
    DownloadProgress progress;
    progress.progressUnit = static_cast<float>(static_cast<double>(plan.fileLength) / 100);
    const int target = remoteTarget(plan.remoteCards, plan.remoteCardCount);
    const bool stored = m_download.downloadToCard(target, plan.records, flags, progress);
    m_view.remoteDownloadOver();
    if (stored) {
        programmingWait(RemoteProgrammingStepMs);
        backToBlue();
        m_readBackVersions(plan.scope);
    }
    m_view.remoteRunEnds();
}

// The cards program what they received: a red bar runs from 0 to 100.
void UpdateRun::programmingWait(int stepMs)
{
    m_view.showStatus(QStringLiteral("Please wait..."));
    m_view.showBarColours(Colour::Red, Colour::Red);
    m_view.showProgressTextColour(Colour::Black);
    LinkTimer& timer2 = m_link.timer2();
    timer2.setInterval(stepMs);
    timer2.setEnabled(true);
    for (int k = 0; k <= 100; ++k) {
        m_view.showProgress(k);
        m_link.animationStep();
        if (k > RunProgress::WhiteTextAbove)
            m_view.showProgressTextColour(Colour::Yellow);
    }
    timer2.setEnabled(false);
    m_link.pause();
}

void UpdateRun::backToBlue()
{
    m_view.showStatus(IdleStatusText);
    m_view.showProgress(0);
    m_link.yield();
    m_view.showBarColours(Colour::Blue, Colour::Blue);
    m_view.showProgressTextColour(Colour::Black);
    m_link.yield();
}

} // namespace quorlink::link
