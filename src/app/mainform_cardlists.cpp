// The card lists: a click or Enter/Space toggles the focus item, the target
// is either the management card or a set of remote cards, never both, and
// Select All / Unselect All work on the remote cards.
#include "mainform.h"

#include <utility>

namespace quorlink::app {

namespace {

constexpr int OsdList = 0;
constexpr int ManagerList = 1;
constexpr int FirstRemoteList = 2;
constexpr int SecondRemoteList = 3;

const QString ManagementFilePrefix = QStringLiteral("qdx_mgt");
const QString RemoteFilePrefix = QStringLiteral("qdx_rem");

} // namespace

int MainForm::selectionScope() const
{
    int scope = 0;
    if (List1[ManagerList]->selCount() != 0)
        scope = 4;
    if (List1[FirstRemoteList]->selCount() != 0)
        scope = 1;
    else if (List1[SecondRemoteList]->selCount() != 0)
        scope = 2;
    return scope;
}

void MainForm::List1_MouseUp(int index, int button, int /*shift*/, int /*x*/, int /*y*/)
{
    if (button != 1)
        return;
    CardList* clicked = List1[index];
    const int focusItem = clicked->listIndex();
    if (focusItem < 0)
        return;
    for (int other = ManagerList; other <= SecondRemoteList; ++other) {
        if (other != index)
            List1[other]->setListIndex(-1);
    }
    LastListIndex[index] = focusItem;
    if (ListEventsSuppressed)
        return;
    applyOutcome(toggleFocusItem(index, focusItem), index);
}

// The record, not the list's own state, decides: a key or click the list
// box might also have reacted to still toggles exactly once.
MainForm::Outcome MainForm::toggleFocusItem(int index, int focusItem)
{
    if (index == ManagerList) {
        ManagerMark = !ManagerMark;
        List1[ManagerList]->setItemSelected(0, ManagerMark);
        return ManagerMark ? Outcome::Manager : Outcome::None;
    }
    if (index != FirstRemoteList && index != SecondRemoteList)
        return Outcome::None;
    auto& marks = index == FirstRemoteList ? FirstListMarks : SecondListMarks;
    if (focusItem >= static_cast<int>(marks.size()))
        return Outcome::None;
    bool& mark = marks[static_cast<std::size_t>(focusItem)];
    mark = !mark;
    List1[index]->setItemSelected(focusItem, mark);
    if (mark)
        return Outcome::Remote;
    const bool remoteLeft =
        List1[FirstRemoteList]->selCount() != 0 || List1[SecondRemoteList]->selCount() != 0;
    return remoteLeft ? Outcome::Remote : Outcome::None;
}

void MainForm::applyOutcome(Outcome outcome, int clickedIndex)
{
    switch (outcome) {
    case Outcome::Manager:
        if (!FirmwareFile.contains(ManagementFilePrefix, Qt::CaseInsensitive))
            clearFirmwareFile();
        if (!AdvancedMode)
            mnuOpen->setEnabled(true);
        asxToolbar1->setButtonEnabled(ToolbarButton::SelectAll, false);
        asxToolbar1->setButtonEnabled(ToolbarButton::UnselectAll, false);
        if (!AdvancedMode)
            asxToolbar1->setButtonEnabled(ToolbarButton::HardwareVersion, true);
        asxToolbar1->refresh();
        for (int list : {FirstRemoteList, SecondRemoteList}) {
            List1[list]->setListIndex(-1);
            List1[list]->setEnabled(false);
        }
        ManagerSelected = true;
        RemoteSelected = false;
        break;
    case Outcome::Remote:
        if (!FirmwareFile.contains(RemoteFilePrefix, Qt::CaseInsensitive))
            clearFirmwareFile();
        if (!AdvancedMode)
            mnuOpen->setEnabled(true);
        asxToolbar1->refresh();
        List1[ManagerList]->setListIndex(-1);
        List1[clickedIndex == FirstRemoteList ? SecondRemoteList : FirstRemoteList]->setListIndex(
            -1);
        List1[ManagerList]->setEnabled(false);
        RemoteSelected = true;
        ManagerSelected = false;
        break;
    case Outcome::None:
        mnuOpen->setEnabled(false);
        asxToolbar1->setButtonEnabled(ToolbarButton::SelectAll, true);
        asxToolbar1->setButtonEnabled(ToolbarButton::UnselectAll, true);
        asxToolbar1->setButtonEnabled(ToolbarButton::HardwareVersion, true);
        asxToolbar1->refresh();
        for (int list = ManagerList; list <= SecondRemoteList; ++list)
            List1[list]->setEnabled(true);
        ManagerSelected = false;
        RemoteSelected = false;
        ManagerMark = false;
        FirstListMarks.fill(false);
        SecondListMarks.fill(false);
        break;
    }
}

void MainForm::List1_KeyPress(int index, int keyAscii)
{
    if (keyAscii != 13 && keyAscii != 32)
        return;
    List1_MouseUp(index, 1, 0, 0, 0);
    time().yield();
}

void MainForm::List1_GotFocus(int index)
{
    giveFocusItem(index);
}

// Only the focused list shows a focus item.
void MainForm::giveFocusItem(int index)
{
    CardList* list = List1[index];
    if (list->listIndex() >= 0)
        return;
    // Focus can move while an operation keeps the handlers quiet; it stays so.
    const bool wasSuppressed = std::exchange(ListEventsSuppressed, true);
    if (index == ManagerList) {
        list->setListIndex(0);
        LastListIndex[ManagerList] = 0;
    } else {
        list->setListIndex(LastListIndex[index]);
    }
    ListEventsSuppressed = wasSuppressed;
}

// Tabbing out of an empty list shows where the keyboard goes next.
void MainForm::List1_LostFocus(int index)
{
    List1[index]->setListIndex(-1);
    if (!TabPressed)
        return;
    if (index == SecondRemoteList) {
        if (List1[FirstRemoteList]->selCount() == 0 && List1[SecondRemoteList]->selCount() == 0)
            giveFocusItem(OsdList);
    } else if (List1[index]->selCount() == 0) {
        giveFocusItem(index + 1);
    }
}

// Alt+S runs this also while the management card is chosen (and Advanced
// mode offers the button then): the remote lists, which that choice
// disabled, hold the selection now and must take clicks again.
void MainForm::SelectAllRemoteCards()
{
    ListEventsSuppressed = true;
    List1[ManagerList]->setItemSelected(0, false);
    ManagerMark = false;
    CardList* first = List1[FirstRemoteList];
    CardList* second = List1[SecondRemoteList];
    const int n = first->listCount();
    for (int i = 0; i < n; ++i) {
        first->setItemSelected(i, true);
        FirstListMarks[static_cast<std::size_t>(i)] = true;
        RemoteCardSelected[static_cast<std::size_t>(i)] = true;
        time().yield();
    }
    first->setListIndex(0);
    for (int k = 0; k < second->listCount(); ++k) {
        second->setItemSelected(k, true);
        SecondListMarks[static_cast<std::size_t>(k)] = true;
        RemoteCardSelected[static_cast<std::size_t>(n + k)] = true;
        time().yield();
    }
    List1[ManagerList]->setListIndex(-1);
    second->setListIndex(-1);
    List1[ManagerList]->setEnabled(false);
    first->setEnabled(true);
    second->setEnabled(true);
    LastListIndex[0] = 0;
    LastListIndex[1] = 0;
    ManagerSelected = false;
    RemoteSelected = true;
    mnuOpen->setEnabled(true);
    ListEventsSuppressed = false;
}

void MainForm::UnselectAllRemoteCards()
{
    ListEventsSuppressed = true;
    CardList* first = List1[FirstRemoteList];
    CardList* second = List1[SecondRemoteList];
    const int n = first->listCount();
    for (int i = 0; i < n; ++i) {
        first->setItemSelected(i, false);
        FirstListMarks[static_cast<std::size_t>(i)] = false;
        RemoteCardSelected[static_cast<std::size_t>(i)] = false;
        time().yield();
    }
    for (int k = 0; k < second->listCount(); ++k) {
        second->setItemSelected(k, false);
        SecondListMarks[static_cast<std::size_t>(k)] = false;
        RemoteCardSelected[static_cast<std::size_t>(n + k)] = false;
        time().yield();
    }
    List1[ManagerList]->setEnabled(true);
    ManagerSelected = false;
    RemoteSelected = false;
    mnuOpen->setEnabled(false);
    first->setListIndex(-1);
    second->setListIndex(-1);
    List1[ManagerList]->setListIndex(0);
    ListEventsSuppressed = false;
}

bool MainForm::anyCardListSelection() const
{
    for (int list = ManagerList; list <= SecondRemoteList; ++list) {
        if (List1[list]->selCount() != 0)
            return true;
    }
    return false;
}

void MainForm::enableCardListsWhenNothingSelected()
{
    if (anyCardListSelection())
        return;
    for (int list = ManagerList; list <= SecondRemoteList; ++list)
        List1[list]->setEnabled(true);
    List1[ManagerList]->setListIndex(0);
}

} // namespace quorlink::app
