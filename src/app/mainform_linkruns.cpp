// The window's face of the link operations: what their events show in the
// card lists, the toolbar, the menus, the status panel and the bar. The
// runs themselves live in the link module.
#include "mainform.h"

#include "logging.h"

#include "link/protocol.h"
#include "link/resetrun.h"
#include "link/versionrun.h"
#include "platform/runtimeerror.h"
#include "progbar/progbar.h"

namespace quorlink::app {

namespace {

int otherRemoteList(int list)
{
    return list == MainForm::FirstRemoteList ? MainForm::SecondRemoteList
                                             : MainForm::FirstRemoteList;
}

} // namespace

// --- The events of the operations ----------------------------------------------

namespace {

const QString FirmwarePrefix = QStringLiteral(" F/W - ");
const QString HardwarePrefix = QStringLiteral(" H/W - ");

// The status texts of Starting, InProcess and Completed.
QString stageText(int activity, link::Stage stage)
{
    static const std::array<std::array<const char*, 3>, 3> texts{{
        {"Status: Getting version", "Status: Getting version in process ...",
         "Status: Getting version completed"},
        {"Status: Reset", "Status: Reset in process ...", "Status: Reset completed"},
        {"Status: Updating begins", "Status: Updating in process ...",
         "Status: Updating completed"},
    }};
    return QString::fromLatin1(texts.at(static_cast<std::size_t>(activity))
                                   .at(static_cast<std::size_t>(stage)));
}

bool isVersionRun(link::RunKind kind)
{
    return kind == link::RunKind::FirmwareVersions || kind == link::RunKind::HardwareVersions ||
           kind == link::RunKind::VersionsForUpdate;
}

} // namespace

void MainForm::runStarts(link::RunKind kind, const QList<int>& cards)
{
    const bool manager = cards.contains(link::protocol::ManagementCard);
    m_programming = false;
    if (isVersionRun(kind)) {
        m_activity = Activity::Versions;
        m_versionKind = kind;
        m_versionsOfManager = manager;
        lockForVersionRun();
    } else if (kind == link::RunKind::Reset) {
        m_activity = Activity::Reset;
    } else {
        m_updateOfManager = manager;
        updateRunBegins();
        if (manager)
            managerRunBegins();
        else
            remoteRunBegins();
    }
}

void MainForm::cardAsked(int card)
{
    if (card == link::protocol::ManagementCard)
        showManagerQueryStarting();
    else
        showRemoteQueryStarting(card);
}

void MainForm::cardAnswered(int card, link::Answer, const QString& reply)
{
    if (card != link::protocol::ManagementCard)
        showRemoteAnswerArriving(card);
    if (m_versionKind == link::RunKind::VersionsForUpdate)
        storeVersionText(card, FirmwarePrefix + reply);
    else if (m_versionKind == link::RunKind::HardwareVersions)
        appendVersionText(card, HardwarePrefix + reply);
    else
        appendVersionText(card, FirmwarePrefix + reply);
}

void MainForm::cardKept(int card, bool kept)
{
    if (kept)
        keepCardSelected(card);
    else
        deselectCard(card);
}

void MainForm::progress(int value)
{
    m_ui.ProgBar1->setValue(value);
}

void MainForm::stageReached(link::Stage stage)
{
    switch (stage) {
    case link::Stage::Starting:
    case link::Stage::InProcess:
    case link::Stage::Completed:
        setStatusText(stageText(static_cast<int>(m_activity), stage));
        break;
    case link::Stage::Idle:
        setStatusText(IdleStatusText);
        break;
    // The cards program what they received under a red bar, its text
    // yellow once the fill reaches it.
    case link::Stage::Programming:
        m_programming = true;
        setStatusText(QStringLiteral("Please wait..."));
        m_ui.ProgBar1->setBarStartColour(Colour::Red);
        m_ui.ProgBar1->setBarEndColour(Colour::Red);
        m_ui.ProgBar1->setFontColour(Colour::Black);
        break;
    case link::Stage::Programmed:
        m_programming = false;
        m_ui.ProgBar1->setBarStartColour(Colour::Blue);
        m_ui.ProgBar1->setBarEndColour(Colour::Blue);
        m_ui.ProgBar1->setFontColour(Colour::Black);
        break;
    }
}

void MainForm::progressTextLight(bool light)
{
    if (!light)
        m_ui.ProgBar1->setFontColour(Colour::Black);
    else
        m_ui.ProgBar1->setFontColour(m_programming ? Colour::Yellow : Colour::White);
}

void MainForm::downloadStage(link::DownloadStage stage, int target)
{
    switch (stage) {
    case link::DownloadStage::Begins:
        m_activity = Activity::Download;
        downloadBegins();
        break;
    case link::DownloadStage::Stored:
        downloadStored(target);
        break;
    case link::DownloadStage::Ends:
        downloadEnds();
        break;
    case link::DownloadStage::Over:
        remoteDownloadOver();
        break;
    }
}

void MainForm::runInterrupted()
{
    RestoreIdleState();
}

void MainForm::runOutcome(link::RunKind kind, bool)
{
    if (kind == link::RunKind::Reset) {
        finishReset();
    } else if (kind == link::RunKind::Update) {
        if (m_updateOfManager)
            managerRunEnds();
        else
            remoteRunEnds();
    } else if (kind != link::RunKind::VersionsForUpdate) {
        // Update mode leaves the window as it is for the confirmation.
        if (m_versionsOfManager)
            finishManagerVersionRun();
        else
            finishRemoteVersionRun();
    }
}

void MainForm::runEnds(link::RunKind kind)
{
    if (kind == link::RunKind::Update)
        updateRunEnds();
    else if (isVersionRun(kind))
        endVersionRun();
}

// --- Version run -----------------------------------------------------------------

void MainForm::GetVersions(link::Scope scope, link::VersionRun::Options options)
{
    // A list handler or another run is changing the lists.
    if (scope == link::Scope::None || m_listEventsSuppressed)
        return;
    m_listEventsSuppressed = true;
    link::VersionRun run(link, *this, options);
    run.getVersions(scope, selectedRemoteCards());
}

void MainForm::lockForVersionRun()
{
    m_listEventsSuppressed = true;
    for (int list = ManagerList; list <= SecondRemoteList; ++list)
        m_ui.List1[list]->setEnabled(false);
    setToolbarButtonsEnabled(ToolbarButton::SelectAll, ToolbarButton::HardwareVersion, false);
    m_ui.asxToolbar1->refresh();
    setMenusEnabled(false);
    setEnabled(false);
}

void MainForm::showManagerQueryStarting()
{
    m_ui.List1[ManagerList]->setItemText(0, managerItemText());
    m_ui.List1[ManagerList]->setListIndex(0);
    setToolbarButtonsEnabled(ToolbarButton::SelectAll, ToolbarButton::UnselectAll, false);
    m_ui.asxToolbar1->refresh();
}

void MainForm::showRemoteQueryStarting(int card)
{
    const CardItem item = itemOfCard(card);
    m_listEventsSuppressed = true;
    m_ui.List1[otherRemoteList(item.list)]->setListIndex(-1);
    m_ui.List1[item.list]->setListIndex(item.row);
    m_ui.List1[item.list]->setItemText(item.row, remoteItemText(card));
    m_lastListIndex[static_cast<std::size_t>(item.list)] = item.row;
}

void MainForm::showRemoteAnswerArriving(int card)
{
    const CardItem item = itemOfCard(card);
    m_ui.List1[ManagerList]->setListIndex(-1);
    m_ui.List1[otherRemoteList(item.list)]->setListIndex(-1);
    m_listEventsSuppressed = true;
}

void MainForm::appendVersionText(int card, const QString& answer)
{
    const CardItem item = itemOfCard(card);
    m_ui.List1[item.list]->setItemText(item.row,
                                       m_ui.List1[item.list]->itemText(item.row) + answer);
}

void MainForm::storeVersionText(int card, const QString& answer)
{
    const CardItem item = itemOfCard(card);
    m_lastVersionList = item.list;
    const QString text = m_ui.List1[item.list]->itemText(item.row) + answer;
    if (card == link::protocol::ManagementCard)
        m_managerVersionText = text;
    else
        m_remoteVersionTexts[static_cast<std::size_t>(card - 2)] = text;
}

void MainForm::keepCardSelected(int card)
{
    const CardItem item = itemOfCard(card);
    m_ui.List1[item.list]->setItemSelected(item.row, true);
    m_ui.List1[ManagerList]->setEnabled(false);
}

void MainForm::deselectCard(int card)
{
    const CardItem item = itemOfCard(card);
    m_ui.List1[item.list]->setItemSelected(item.row, false);
}

void MainForm::finishManagerVersionRun()
{
    m_ui.List1[ManagerList]->setEnabled(true);
    setToolbarButtonsEnabled(ToolbarButton::Start, ToolbarButton::HardwareVersion, true);
    m_ui.asxToolbar1->refresh();
    if (m_ui.List1[ManagerList]->selCount() == 0) {
        // It answered "Not responding": nothing is chosen any more, so the
        // remote cards and Select All / Unselect All are offered again.
        m_ui.List1[FirstRemoteList]->setEnabled(true);
        m_ui.List1[SecondRemoteList]->setEnabled(true);
        setToolbarButtonsEnabled(ToolbarButton::SelectAll, ToolbarButton::UnselectAll, true);
        m_ui.asxToolbar1->refresh();
    }
    m_listEventsSuppressed = false;
    setMenusEnabled(true);
}

void MainForm::finishRemoteVersionRun()
{
    m_ui.List1[FirstRemoteList]->setEnabled(true);
    m_ui.List1[SecondRemoteList]->setEnabled(true);
    setToolbarButtonsEnabled(ToolbarButton::SelectAll, ToolbarButton::HardwareVersion, true);
    m_ui.asxToolbar1->refresh();
    if (m_ui.List1[FirstRemoteList]->selCount() >= 1) {
        focusLowestSelectedItem(FirstRemoteList);
    } else if (m_ui.List1[SecondRemoteList]->selCount() >= 1) {
        focusLowestSelectedItem(SecondRemoteList);
    } else {
        m_ui.List1[ManagerList]->setEnabled(true);
    }
    m_listEventsSuppressed = false;
    setMenusEnabled(true);
}

void MainForm::focusLowestSelectedItem(int list)
{
    m_ui.mnuOpen->setEnabled(true);
    m_ui.List1[otherRemoteList(list)]->setListIndex(-1);
    CardList* cards = m_ui.List1[list];
    for (int row = 0; row < cards->listCount(); ++row) {
        if (cards->isItemSelected(row)) {
            cards->setListIndex(row);
            return;
        }
        time().yield();
    }
}

void MainForm::endVersionRun()
{
    setEnabled(true);
}

// A run-time error outside the card exchanges: the run's state dropped, the
// port reopened, the window back at rest.
void MainForm::recoverFromVersionRunError()
{
    link.cancelRequested = false;
    m_listEventsSuppressed = false;
    for (QAction* menu : {m_ui.mnuFile, m_ui.mnuOptions, m_ui.mnuHelp})
        setMenuEnabled(menu, true);
    reopenPortSilently();
    RestoreIdleState();
    time().yield();
}

// --- Reset --------------------------------------------------------------------------

void MainForm::ResetCards(link::ResetMode mode)
{
    QList<int> cards;
    if (mode == link::ResetMode::RemoteCards || mode == link::ResetMode::SecondRemoteListOnly)
        cards = selectedRemoteCards();
    const int listed =
        m_ui.List1[FirstRemoteList]->listCount() + m_ui.List1[SecondRemoteList]->listCount();
    link::ResetRun(link, *this).resetCards(mode, cards, listed);
}

// A reset disables nothing and leaves the selection as it was; each reset
// needs Advanced mode switched on again.
void MainForm::finishReset()
{
    leaveAdvancedMode();
}

} // namespace quorlink::app
