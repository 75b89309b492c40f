// The card lists: a click or Enter/Space toggles the focus item, the target
// is either the management card or a set of remote cards, never both, and
// Select All / Unselect All work on the remote cards.
#include "mainform.h"

#include "link/protocol.h"

#include <utility>

namespace quorlink::app {

namespace {

const QString ManagementFilePrefix = QStringLiteral("qdx_mgt");
const QString RemoteFilePrefix = QStringLiteral("qdx_rem");

} // namespace

MainForm::CardItem MainForm::itemOfCard(int card) const
{
    if (card == link::protocol::ManagementCard)
        return {ManagerList, 0};
    const int firstCount = m_ui.List1[FirstRemoteList]->listCount();
    if (card <= firstCount + 1)
        return {FirstRemoteList, card - 2};
    return {SecondRemoteList, card - 2 - firstCount};
}

int MainForm::cardOfItem(int list, int row) const
{
    if (list == ManagerList)
        return link::protocol::ManagementCard;
    const int rowsBefore = list == SecondRemoteList ? m_ui.List1[FirstRemoteList]->listCount() : 0;
    return link::protocol::FirstRemoteCard + rowsBefore + row;
}

QList<int> MainForm::selectedRemoteCards() const
{
    QList<int> cards;
    for (int list : {FirstRemoteList, SecondRemoteList}) {
        for (int row = 0; row < m_ui.List1[list]->listCount(); ++row) {
            if (m_ui.List1[list]->isItemSelected(row))
                cards << cardOfItem(list, row);
        }
    }
    return cards;
}

link::Scope MainForm::selectionScope() const
{
    if (m_ui.List1[FirstRemoteList]->selCount() != 0)
        return link::Scope::RemoteCards;
    if (m_ui.List1[SecondRemoteList]->selCount() != 0)
        return link::Scope::SecondRemoteListOnly;
    return managerSelected() ? link::Scope::ManagementCard : link::Scope::None;
}

void MainForm::List1_MouseUp(int index, int button, int /*shift*/, int /*x*/, int /*y*/)
{
    if (button != 1)
        return;
    CardList* clicked = m_ui.List1[index];
    const int focusItem = clicked->listIndex();
    if (focusItem < 0)
        return;
    for (int other = ManagerList; other <= SecondRemoteList; ++other) {
        if (other != index)
            m_ui.List1[other]->setListIndex(-1);
    }
    m_lastListIndex[index] = focusItem;
    if (m_listEventsSuppressed)
        return;
    applyOutcome(toggleFocusItem(index, focusItem), index);
}

// The lists never select by themselves, so the item's own state is the
// user's last choice: a key or click the list box might also have reacted
// to still toggles exactly once.
MainForm::Outcome MainForm::toggleFocusItem(int index, int focusItem)
{
    if (index < ManagerList || index > SecondRemoteList)
        return Outcome::None;
    CardList* list = m_ui.List1[index];
    const int row = index == ManagerList ? 0 : focusItem;
    const bool selected = !list->isItemSelected(row);
    list->setItemSelected(row, selected);
    if (index == ManagerList)
        return selected ? Outcome::Manager : Outcome::None;
    return selected || remoteSelected() ? Outcome::Remote : Outcome::None;
}

bool MainForm::managerSelected() const
{
    return m_ui.List1[ManagerList]->selCount() != 0;
}

bool MainForm::remoteSelected() const
{
    return m_ui.List1[FirstRemoteList]->selCount() != 0 ||
           m_ui.List1[SecondRemoteList]->selCount() != 0;
}

void MainForm::applyOutcome(Outcome outcome, int clickedIndex)
{
    switch (outcome) {
    case Outcome::Manager:
        if (!m_firmwareFile.contains(ManagementFilePrefix, Qt::CaseInsensitive))
            clearFirmwareFile();
        if (!m_advancedMode)
            m_ui.mnuOpen->setEnabled(true);
        m_ui.asxToolbar1->setButtonEnabled(ToolbarButton::SelectAll, false);
        m_ui.asxToolbar1->setButtonEnabled(ToolbarButton::UnselectAll, false);
        if (!m_advancedMode)
            m_ui.asxToolbar1->setButtonEnabled(ToolbarButton::HardwareVersion, true);
        m_ui.asxToolbar1->refresh();
        for (int list : {FirstRemoteList, SecondRemoteList}) {
            m_ui.List1[list]->setListIndex(-1);
            m_ui.List1[list]->setEnabled(false);
        }
        break;
    case Outcome::Remote:
        if (!m_firmwareFile.contains(RemoteFilePrefix, Qt::CaseInsensitive))
            clearFirmwareFile();
        if (!m_advancedMode)
            m_ui.mnuOpen->setEnabled(true);
        m_ui.asxToolbar1->refresh();
        m_ui.List1[ManagerList]->setListIndex(-1);
        m_ui.List1[clickedIndex == FirstRemoteList ? SecondRemoteList : FirstRemoteList]
            ->setListIndex(-1);
        m_ui.List1[ManagerList]->setEnabled(false);
        break;
    case Outcome::None:
        m_ui.mnuOpen->setEnabled(false);
        m_ui.asxToolbar1->setButtonEnabled(ToolbarButton::SelectAll, true);
        m_ui.asxToolbar1->setButtonEnabled(ToolbarButton::UnselectAll, true);
        m_ui.asxToolbar1->setButtonEnabled(ToolbarButton::HardwareVersion, true);
        m_ui.asxToolbar1->refresh();
        for (int list = ManagerList; list <= SecondRemoteList; ++list)
            m_ui.List1[list]->setEnabled(true);
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
    CardList* list = m_ui.List1[index];
    if (list->listIndex() >= 0)
        return;
    // Focus can move while an operation keeps the handlers quiet; it stays so.
    const bool wasSuppressed = std::exchange(m_listEventsSuppressed, true);
    if (index == ManagerList) {
        list->setListIndex(0);
        m_lastListIndex[ManagerList] = 0;
    } else {
        list->setListIndex(m_lastListIndex[index]);
    }
    m_listEventsSuppressed = wasSuppressed;
}

// Tabbing out of an empty list shows where the keyboard goes next.
void MainForm::List1_LostFocus(int index)
{
    m_ui.List1[index]->setListIndex(-1);
    if (!m_tabPressed)
        return;
    if (index == SecondRemoteList) {
        if (!remoteSelected())
            giveFocusItem(OsdList);
    } else if (m_ui.List1[index]->selCount() == 0) {
        giveFocusItem(index + 1);
    }
}

// Alt+S runs this also while the management card is chosen (and Advanced
// mode offers the button then): the remote lists, which that choice
// disabled, hold the selection now and must take clicks again.
void MainForm::SelectAllRemoteCards()
{
    m_listEventsSuppressed = true;
    m_ui.List1[ManagerList]->setItemSelected(0, false);
    CardList* first = m_ui.List1[FirstRemoteList];
    CardList* second = m_ui.List1[SecondRemoteList];
    for (int i = 0; i < first->listCount(); ++i) {
        first->setItemSelected(i, true);
        time().yield();
    }
    first->setListIndex(0);
    for (int k = 0; k < second->listCount(); ++k) {
        second->setItemSelected(k, true);
        time().yield();
    }
    m_ui.List1[ManagerList]->setListIndex(-1);
    second->setListIndex(-1);
    m_ui.List1[ManagerList]->setEnabled(false);
    first->setEnabled(true);
    second->setEnabled(true);
    m_lastListIndex[0] = 0;
    m_lastListIndex[1] = 0;
    m_ui.mnuOpen->setEnabled(true);
    m_listEventsSuppressed = false;
}

void MainForm::UnselectAllRemoteCards()
{
    m_listEventsSuppressed = true;
    CardList* first = m_ui.List1[FirstRemoteList];
    CardList* second = m_ui.List1[SecondRemoteList];
    for (int i = 0; i < first->listCount(); ++i) {
        first->setItemSelected(i, false);
        time().yield();
    }
    for (int k = 0; k < second->listCount(); ++k) {
        second->setItemSelected(k, false);
        time().yield();
    }
    m_ui.List1[ManagerList]->setEnabled(true);
    m_ui.mnuOpen->setEnabled(false);
    first->setListIndex(-1);
    second->setListIndex(-1);
    m_ui.List1[ManagerList]->setListIndex(0);
    m_listEventsSuppressed = false;
}

void MainForm::enableCardListsWhenNothingSelected()
{
    if (managerSelected() || remoteSelected())
        return;
    for (int list = ManagerList; list <= SecondRemoteList; ++list)
        m_ui.List1[list]->setEnabled(true);
    m_ui.List1[ManagerList]->setListIndex(0);
}

} // namespace quorlink::app
