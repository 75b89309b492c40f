// The window's face of the link operations: what the version run and the
// reset show in the card lists, the toolbar, the menus, the status panel and
// the bar.
// The runs themselves live in the link module.
#include "mainform.h"

#include "logging.h"

#include "link/protocol.h"
#include "link/resetrun.h"
#include "link/versionrun.h"
#include "platform/runtimeerror.h"
#include "progbar/progbar.h"

namespace quorlink::app {

namespace {

constexpr int ManagerList = 1;
constexpr int FirstRemoteList = 2;
constexpr int SecondRemoteList = 3;

int otherRemoteList(int list)
{
    return list == FirstRemoteList ? SecondRemoteList : FirstRemoteList;
}

} // namespace

// --- Shared --------------------------------------------------------------------

void MainForm::showStatus(const QString& text)
{
    setStatusText(text);
}

void MainForm::showProgress(int value)
{
    ProgBar1->setValue(value);
}

void MainForm::showProgressTextColour(std::uint32_t colour)
{
    ProgBar1->setFontColour(colour);
}

void MainForm::showBarColours(std::uint32_t startColour, std::uint32_t endColour)
{
    ProgBar1->setBarStartColour(startColour);
    ProgBar1->setBarEndColour(endColour);
}

void MainForm::restoreIdleState()
{
    RestoreIdleState();
}

MainForm::CardItem MainForm::itemOfCard(int card) const
{
    if (card == link::protocol::ManagementCard)
        return {ManagerList, 0};
    const int firstCount = List1[FirstRemoteList]->listCount();
    if (card <= firstCount + 1)
        return {FirstRemoteList, card - 2};
    return {SecondRemoteList, card - 2 - firstCount};
}

QList<int> MainForm::selectedRemoteCards() const
{
    QList<int> cards;
    const int firstCount = List1[FirstRemoteList]->listCount();
    for (int i = 0; i < firstCount; ++i) {
        if (List1[FirstRemoteList]->isItemSelected(i))
            cards << i + 2;
    }
    for (int k = 0; k < List1[SecondRemoteList]->listCount(); ++k) {
        if (List1[SecondRemoteList]->isItemSelected(k))
            cards << k + 2 + firstCount;
    }
    return cards;
}

// --- Version run -----------------------------------------------------------------

void MainForm::GetVersions(int scope)
{
    // A list handler or another run is changing the lists.
    if (scope == link::Scope::None || ListEventsSuppressed)
        return;
    ListEventsSuppressed = true;
    link::VersionRun run(link, *this, {WantHardwareVersion, UpdateMode});
    run.getVersions(scope, selectedRemoteCards());
}

void MainForm::QueryCardVersion(int card)
{
    link::VersionRun(link, *this, {WantHardwareVersion, UpdateMode}).queryCardVersion(card);
}

void MainForm::lockForVersionRun()
{
    ListEventsSuppressed = true;
    for (int list = ManagerList; list <= SecondRemoteList; ++list)
        List1[list]->setEnabled(false);
    setToolbarButtonsEnabled(ToolbarButton::SelectAll, ToolbarButton::HardwareVersion, false);
    asxToolbar1->refresh();
    setMenusEnabled(false);
    setEnabled(false);
}

void MainForm::showManagerQueryStarting()
{
    List1[ManagerList]->setItemText(0, managerItemText());
    List1[ManagerList]->setListIndex(0);
    setToolbarButtonsEnabled(ToolbarButton::SelectAll, ToolbarButton::UnselectAll, false);
    asxToolbar1->refresh();
}

void MainForm::showRemoteQueryStarting(int card)
{
    const CardItem item = itemOfCard(card);
    ListEventsSuppressed = true;
    List1[otherRemoteList(item.list)]->setListIndex(-1);
    List1[item.list]->setListIndex(item.row);
    List1[item.list]->setItemText(item.row, remoteItemText(card));
    LastListIndex[static_cast<std::size_t>(item.list)] = item.row;
}

void MainForm::showRemoteAnswerArriving(int card)
{
    const CardItem item = itemOfCard(card);
    List1[ManagerList]->setListIndex(-1);
    List1[otherRemoteList(item.list)]->setListIndex(-1);
    ListEventsSuppressed = true;
}

void MainForm::appendVersionText(int card, const QString& answer)
{
    const CardItem item = itemOfCard(card);
    List1[item.list]->setItemText(item.row, List1[item.list]->itemText(item.row) + answer);
}

void MainForm::storeVersionText(int card, const QString& answer)
{
    const CardItem item = itemOfCard(card);
    LastVersionList = item.list;
    const QString text = List1[item.list]->itemText(item.row) + answer;
    if (card == link::protocol::ManagementCard)
        ManagerVersionText = text;
    else
        RemoteVersionTexts[static_cast<std::size_t>(card - 2)] = text;
}

void MainForm::keepCardSelected(int card)
{
    const CardItem item = itemOfCard(card);
    List1[item.list]->setItemSelected(item.row, true);
    List1[ManagerList]->setEnabled(false);
}

// The handlers' record goes with the selection, or the next click would
// read the card as still chosen.
void MainForm::deselectCard(int card)
{
    const CardItem item = itemOfCard(card);
    List1[item.list]->setItemSelected(item.row, false);
    if (item.list == ManagerList)
        ManagerMark = false;
    else if (item.row < ListMarkSlots)
        (item.list == FirstRemoteList ? FirstListMarks
                                      : SecondListMarks)[static_cast<std::size_t>(item.row)] =
            false;
}

void MainForm::finishManagerVersionRun()
{
    List1[ManagerList]->setEnabled(true);
    setToolbarButtonsEnabled(ToolbarButton::Start, ToolbarButton::HardwareVersion, true);
    asxToolbar1->refresh();
    if (List1[ManagerList]->selCount() == 0) {
        // It answered "Not responding": nothing is chosen any more, so the
        // remote cards and Select All / Unselect All are offered again.
        List1[FirstRemoteList]->setEnabled(true);
        List1[SecondRemoteList]->setEnabled(true);
        setToolbarButtonsEnabled(ToolbarButton::SelectAll, ToolbarButton::UnselectAll, true);
        asxToolbar1->refresh();
        ManagerSelected = false;
    } else {
        ManagerSelected = true;
    }
    RemoteSelected = false;
    ListEventsSuppressed = false;
    setMenusEnabled(true);
}

void MainForm::finishRemoteVersionRun()
{
    List1[FirstRemoteList]->setEnabled(true);
    List1[SecondRemoteList]->setEnabled(true);
    setToolbarButtonsEnabled(ToolbarButton::SelectAll, ToolbarButton::HardwareVersion, true);
    asxToolbar1->refresh();
    if (List1[FirstRemoteList]->selCount() >= 1) {
        focusLowestSelectedItem(FirstRemoteList);
    } else if (List1[SecondRemoteList]->selCount() >= 1) {
        focusLowestSelectedItem(SecondRemoteList);
    } else {
        List1[ManagerList]->setEnabled(true);
        RemoteSelected = false;
    }
    ManagerSelected = false;
    ListEventsSuppressed = false;
    setMenusEnabled(true);
}

void MainForm::focusLowestSelectedItem(int list)
{
    mnuOpen->setEnabled(true);
    RemoteSelected = true;
    List1[otherRemoteList(list)]->setListIndex(-1);
    CardList* cards = List1[list];
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
    WantHardwareVersion = false;
}

// A run-time error outside the card exchanges: the run's state dropped, the
// port reopened, the window back at rest.
void MainForm::recoverFromVersionRunError()
{
    link.cancelRequested = false;
    ListEventsSuppressed = false;
    Busy = false;
    ManagerSelected = false;
    RemoteSelected = false;
    for (QAction* menu : {mnuFile, mnuOptions, mnuHelp})
        setMenuEnabled(menu, true);
    reopenPortSilently();
    RestoreIdleState();
    time().yield();
}

// --- Reset --------------------------------------------------------------------------

void MainForm::ResetCards(int mode)
{
    QList<int> cards;
    if (mode == link::ResetMode::RemoteCards || mode == link::ResetMode::SecondRemoteListOnly) {
        RemoteCardSelected.fill(false);
        cards = selectedRemoteCards();
        for (const int card : cards)
            RemoteCardSelected[static_cast<std::size_t>(card - 2)] = true;
    }
    const int listed = List1[FirstRemoteList]->listCount() + List1[SecondRemoteList]->listCount();
    link::ResetRun(link, *this).resetCards(mode, cards, listed);
}

// A reset disables nothing and leaves the selection as it was; each reset
// needs Advanced mode switched on again.
void MainForm::finishReset()
{
    leaveAdvancedMode();
    RemoteCardSelected.fill(false);
}

} // namespace quorlink::app
