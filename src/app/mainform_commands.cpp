// Commands of the main window: the toolbar, the keyboard, Advanced mode,
// Cancel, the return to the idle state, and the dialogs.
#include "mainform.h"

#include "aboutdialog.h"
#include "comportdialog.h"
#include "logging.h"
#include "twips.h"
#include "versiondialog.h"

#include "platform/runtimeerror.h"
#include "progbar/progbar.h"

#include <QMenu>

namespace quorlink::app {

namespace {

constexpr int TabKeyCode = 9;
constexpr int AltBit = 4;

} // namespace

void MainForm::asxToolbar1_ButtonClick(int /*index*/, const QString& key)
{
    if (key == ToolbarKey::SelectAll) {
        SelectAllRemoteCards();
    } else if (key == ToolbarKey::UnselectAll) {
        UnselectAllRemoteCards();
    } else if (key == ToolbarKey::Start) {
        StartUpdate();
    } else if (key == ToolbarKey::FirmwareVersion || key == ToolbarKey::HardwareVersion) {
        CheckVersionSelection(key == ToolbarKey::HardwareVersion);
    } else if (key == ToolbarKey::Cancel) {
        CancelOperation();
    } else if (key == ToolbarKey::Reset) {
        CheckResetSelection();
    }
}

int MainForm::buttonOfCommandKey(int keyCode)
{
    switch (keyCode) {
    case 'S':
        return ToolbarButton::SelectAll;
    case 'U':
        return ToolbarButton::UnselectAll;
    case 'T':
        return ToolbarButton::Start;
    case 'V':
        return ToolbarButton::FirmwareVersion;
    case 'W':
        return ToolbarButton::HardwareVersion;
    case 'C':
        return ToolbarButton::Cancel;
    case 'R':
        return ToolbarButton::Reset;
    default:
        return 0;
    }
}

// Alt+letter runs a toolbar command whatever the button's state: the
// operations disable the whole window while they must not be disturbed.
// Reset alone needs Advanced mode.
void MainForm::Form_KeyUp(int keyCode, int shift)
{
    if (keyCode == TabKeyCode) {
        m_tabPressed = true;
        return;
    }
    const int button = buttonOfCommandKey(keyCode);
    if (button == 0)
        return;
    m_tabPressed = false;
    if (!(shift & AltBit))
        return;
    if (button == ToolbarButton::Reset && !m_advancedMode)
        return;
    asxToolbar1_ButtonClick(button, m_ui.asxToolbar1->key(button));
}

// Both ways the mode is switched whole before the event loop runs: a click
// on Options > Advanced waiting there (during a reset, say) toggles it again
// afterwards, and must not find it half switched, nor be undone by the rest.
void MainForm::mnuAdvanced_Click()
{
    if (!m_advancedMode) {
        m_ui.mnuAdvanced->setChecked(true);
        for (int button : {ToolbarButton::SelectAll, ToolbarButton::UnselectAll,
                           ToolbarButton::Cancel, ToolbarButton::Reset})
            m_ui.asxToolbar1->setButtonEnabled(button, true);
        for (int button :
             {ToolbarButton::Start, ToolbarButton::FirmwareVersion, ToolbarButton::HardwareVersion})
            m_ui.asxToolbar1->setButtonEnabled(button, false);
        m_advancedMode = true;
        m_listEventsSuppressed = true;
        enableCardListsWhenNothingSelected();
        m_ui.mnuOpen->setEnabled(false);
        m_listEventsSuppressed = false;
        m_ui.asxToolbar1->refresh();
        time().yield();
    } else {
        leaveAdvancedMode();
    }
}

// Also the end of every reset.
void MainForm::leaveAdvancedMode()
{
    m_ui.mnuAdvanced->setChecked(false);
    m_advancedMode = false;
    setToolbarButtonsEnabled(ToolbarButton::SelectAll, ToolbarButton::Cancel, true);
    m_ui.asxToolbar1->setButtonEnabled(ToolbarButton::Reset, false);
    m_listEventsSuppressed = true;
    enableCardListsWhenNothingSelected();
    m_listEventsSuppressed = false;
    m_ui.mnuOpen->setEnabled(true);
    m_ui.asxToolbar1->refresh();
    time().yield();
}

void MainForm::setMenusEnabled(bool enabled)
{
    for (QAction* menu : {m_ui.mnuFile, m_ui.mnuOpen, m_ui.mnuExit, m_ui.mnuOptions, m_ui.mnuPort,
                          m_ui.mnuAdvanced, m_ui.mnuHelp, m_ui.mnuAbout})
        setMenuEnabled(menu, enabled);
}

// A menu title follows its menu's enabled state, and the menu follows the
// window's: only a disabled menu keeps its title off when the window is
// enabled again.
void MainForm::setMenuEnabled(QAction* menu, bool enabled)
{
    if (auto* titled = menu->menu<QMenu*>())
        titled->setEnabled(enabled);
    menu->setEnabled(enabled);
}

void MainForm::setToolbarButtonsEnabled(int first, int last, bool enabled)
{
    for (int button = first; button <= last; ++button)
        m_ui.asxToolbar1->setButtonEnabled(button, enabled);
}

// Cancel restores the window at once, also while a reset runs. The timers
// and the port then belong to that operation: stopping its timer or
// reopening the port under its wait would cost it its acknowledgement and
// its timing. It puts both to rest itself when it ends.
void MainForm::CancelOperation()
{
    const bool linkInUse = link.operationRunning();
    link.cancelRequested = true; // stays set; the next command clears it

    setEnabled(true);
    setMenusEnabled(true);
    m_ui.mnuAdvanced->setChecked(false);
    m_advancedMode = false;

    for (int button = ToolbarButton::SelectAll; button <= ToolbarButton::Cancel; ++button)
        m_ui.asxToolbar1->setButtonEnabled(button, true);
    m_ui.asxToolbar1->setButtonEnabled(ToolbarButton::Reset, false);
    m_ui.asxToolbar1->refresh();

    restoreIdleWindow(!linkInUse);

    m_listEventsSuppressed = true;
    clearFirmwareFile();
    for (int list = 1; list <= 3; ++list)
        m_ui.List1[list]->setEnabled(true);
    m_ui.List1[1]->setItemSelected(0, false);
    for (int list : {FirstRemoteList, SecondRemoteList}) {
        for (int row = 0; row < m_ui.List1[list]->listCount(); ++row)
            m_ui.List1[list]->setItemSelected(row, false);
    }
    for (int button = ToolbarButton::SelectAll; button <= ToolbarButton::HardwareVersion; ++button)
        m_ui.asxToolbar1->setButtonEnabled(button, true);
    m_ui.asxToolbar1->refresh();
    m_ui.List1[1]->setListIndex(0);
    m_ui.List1[2]->setListIndex(-1);
    m_ui.List1[3]->setListIndex(-1);
    m_listEventsSuppressed = false;

    // Firmware files are opened and closed within their command: none is
    // open here. The port is reopened to drop whatever is pending.
    if (!linkInUse)
        reopenPortSilently();
}

void MainForm::reopenPortSilently()
{
    try {
        if (MSComm1.portOpen())
            MSComm1.setPortOpen(false);
    } catch (const RuntimeError& error) {
        qCInfo(lcApp) << "close on cancel:" << error.message();
    }
    try {
        if (!MSComm1.portOpen())
            MSComm1.setPortOpen(true);
    } catch (const RuntimeError& error) {
        qCInfo(lcApp) << "reopen on cancel:" << error.message();
    }
}

void MainForm::RestoreIdleState()
{
    restoreIdleWindow(true);
}

void MainForm::restoreIdleWindow(bool stopLinkTimers)
{
    if (stopLinkTimers) {
        Timer1.setEnabled(false);
        Timer2.setEnabled(false);
    }
    link.replyReceived = false;
    m_listEventsSuppressed = true;

    setEnabled(true);
    for (int button = ToolbarButton::SelectAll; button <= ToolbarButton::Cancel; ++button)
        m_ui.asxToolbar1->setButtonEnabled(button, true);
    m_ui.asxToolbar1->refresh();

    // Drops the version texts a query appended.
    for (int list : {FirstRemoteList, SecondRemoteList}) {
        for (int row = 0; row < m_ui.List1[list]->listCount(); ++row) {
            m_ui.List1[list]->setItemText(row, remoteItemText(cardOfItem(list, row)));
            time().yield();
        }
    }
    m_ui.List1[1]->setItemText(0, managerItemText());

    if (m_ui.List1[1]->selCount() == 0) {
        m_ui.List1[1]->setListIndex(-1);
    } else {
        m_ui.List1[1]->setListIndex(0);
        m_ui.List1[1]->setEnabled(true);
    }
    if (m_ui.List1[2]->selCount() == 0 && m_ui.List1[3]->selCount() == 0) {
        m_ui.List1[2]->setListIndex(-1);
        m_ui.List1[3]->setListIndex(-1);
    } else {
        m_ui.List1[2]->setListIndex(0);
        m_ui.List1[2]->setEnabled(true);
        m_ui.List1[3]->setEnabled(true);
        m_ui.List1[3]->setListIndex(-1);
    }
    m_listEventsSuppressed = false;
    link.replyReceived = false;

    setMenusEnabled(true);
    m_ui.asxToolbar1->refresh();

    setStatusText(IdleStatusText);
    m_ui.ProgBar1->setValue(0);
    m_listEventsSuppressed = false;
    time().yield();
}

void MainForm::setFirmwareFile(const QString& path)
{
    m_firmwareFile = path;
    m_ui.StatusBar1->setPanelText(1, path);
}

void MainForm::clearFirmwareFile()
{
    m_firmwareFile.clear();
    m_ui.StatusBar1->setPanelText(1, QStringLiteral("File Name:"));
}

void MainForm::setStatusText(const QString& text)
{
    m_ui.StatusBar1->setPanelText(2, text);
}

QString MainForm::statusText() const
{
    return m_ui.StatusBar1->panelText(2);
}

// --- Dialogs --------------------------------------------------------------------

void MainForm::mnuPort_Click()
{
    // A reset leaves the menus usable; changing the port under its wait would
    // pull the device from under the operation.
    if (link.operationRunning())
        return;
    ComPortDialog dialog(MSComm1, m_ports.number, m_ports.busy, this, m_ports.tips);
    dialog.move(pixelsFromTwipsX((outerWidthTwips() + leftTwips()) / 3),
                pixelsFromTwipsY((outerHeightTwips() + topTwips()) / 4));
    dialog.exec();
}

void MainForm::mnuAbout_Click()
{
    AboutDialog dialog(this);
    dialog.move(pixelsFromTwipsX((outerWidthTwips() + leftTwips()) / 4),
                pixelsFromTwipsY((outerHeightTwips() + topTwips()) / 3));
    dialog.exec();
}

bool MainForm::ShowVersionDialog()
{
    bool confirmed = false;
    VersionDialog dialog(
        {m_lastVersionList, m_managerVersionText, m_remoteVersionTexts, m_fileVersionText,
         confirmed},
        [this] { time().yield(); }, this);
    dialog.move(pos());
    dialog.exec();
    return confirmed;
}

} // namespace quorlink::app
