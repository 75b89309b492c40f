// The firmware update as the window drives it: File > Open, Start with its
// checks and questions, and the window's side of the download and the
// update run, whose link work lives in link/.
#include "mainform.h"

#include "logging.h"

#include "firmware/language.h"
#include "link/updaterun.h"
#include "platform/firmwarefolder.h"
#include "platform/prompts.h"
#include "platform/runtimeerror.h"
#include "progbar/progbar.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace quorlink::app {

namespace {

using firmware::CardKind;

const QLatin1String ManagerFileMark{"mgt"};
const QLatin1String RemoteFileMark{"rem"};

QLatin1String fileMarkOfScope(int scope)
{
    return scope == link::Scope::ManagementCard ? ManagerFileMark : RemoteFileMark;
}

} // namespace

QString MainForm::openFolder() const
{
    return MSComm1.deviceReach() == DeviceReach::Simulation ? sampleFolder() : firmwareFolder();
}

// --- File > Open -------------------------------------------------------------------

void MainForm::mnuOpen_Click()
{
    if (!ManagerSelected && !RemoteSelected)
        return;
    QString filter;
    if (ManagerSelected)
        filter = QStringLiteral("Hex Files (*.hex)|qdx_mgt*e.hex");
    if (RemoteSelected)
        filter = QStringLiteral("Hex Files (*.hex)|qdx_rem*e.hex");
    const QString path = prompts().openFileName(openFolder(), filter);
    if (path.isEmpty())
        return;

    if (!firmware::fileNameMarks(path, ManagerSelected ? ManagerFileMark : RemoteFileMark)) {
        clearFirmwareFile();
        prompts().message(QStringLiteral("You have selected wrong file"),
                          MessageStyle::ExclamationOk, QStringLiteral("File Error"));
        return;
    }
    if (!passesReadTest(path)) {
        RestoreIdleState();
        time().yield();
        return;
    }
    setFirmwareFile(path);
}

// Opens the file and copies it to a working copy of its own, which goes
// again at once: a fixed name would overwrite (and then delete) a user's
// file of that name.
bool MainForm::passesReadTest(const QString& path)
{
    if (!QFileInfo::exists(path)) {
        prompts().message(QStringLiteral("File ") + path + QStringLiteral(" not found"),
                          MessageStyle::CriticalOk, QStringLiteral("File Error"));
        return false;
    }
    bool copied = false;
    // Only a regular file is read: a named pipe would block the window until
    // something writes to it, and a device never ends.
    QFile file(path);
    QTemporaryFile workingCopy(QDir(WindowsDirectory).filePath(QStringLiteral("myXXXXXX.hex")));
    if (QFileInfo(path).isFile()) {
        const bool opened = file.open(QIODevice::ReadOnly);
        time().yield();
        if (opened && workingCopy.open()) {
            const QByteArray contents = file.readAll();
            copied = file.error() == QFile::NoError &&
                     workingCopy.write(contents) == contents.size() && workingCopy.flush();
        }
        file.close();
        time().yield();
    }
    if (!copied) {
        qCInfo(lcApp) << "read test of" << path << "failed:" << file.errorString()
                      << workingCopy.errorString();
        prompts().message(QStringLiteral("Cannot read ") + path, MessageStyle::CriticalOk,
                          QStringLiteral("Disk Drive Error"));
        return false;
    }
    return true;
}

// --- Start -------------------------------------------------------------------------

void MainForm::StartUpdate()
{
    if (link.operationRunning())
        return;
    link::Link::Operation operation(link);
    try {
        prepareAndRunUpdate();
    } catch (const RuntimeError& error) {
        qCInfo(lcApp) << "update stopped:" << error.message();
        prompts().beep();
        prompts().message(QStringLiteral("Cannot read ") + FirmwareFile, MessageStyle::CriticalOk,
                          QStringLiteral("Disk Drive Error"));
        // Whatever the error interrupted, the window must close again and the
        // next version query must show its answers.
        Busy = false;
        UpdateMode = false;
        ProgBar1->setBarStartColour(link::Colour::Blue);
        ProgBar1->setBarEndColour(link::Colour::Blue);
        link.settleTimersAndInput();
        RestoreIdleState();
        time().yield();
    }
}

void MainForm::endStart()
{
    UpdateMode = false;
    RestoreIdleState();
    time().yield();
}

void MainForm::warnAndEndStart(const QString& text)
{
    prompts().beep();
    prompts().message(text, MessageStyle::ExclamationOk, QStringLiteral("Warning"));
    endStart();
}

// The preparation yields to the event loop throughout, and the lists still
// take clicks while the file is read: Cancel, or any change of the cards
// chosen at Start, ends the command before anything is sent. The update
// writes the cards the selection holds when it begins, so a click that kept
// the scope would otherwise add a card the user never chose for it, or drop
// one the version dialog listed.
bool MainForm::preparationInterrupted(int scope, const QList<int>& remoteCards) const
{
    return link.cancelRequested || selectionScope() != scope ||
           selectedRemoteCards() != remoteCards;
}

void MainForm::prepareAndRunUpdate()
{
    link.cancelRequested = false;
    LanguageChange = false;
    for (int button = ToolbarButton::SelectAll; button <= ToolbarButton::Cancel; ++button)
        asxToolbar1->setButtonEnabled(button, false);
    asxToolbar1->refresh();

    const int scope = selectionScope();
    const QList<int> remoteCards = selectedRemoteCards();
    if (FirmwareFile.isEmpty()) {
        warnAndEndStart(QStringLiteral("You must choose file for update"));
        return;
    }
    if (scope != link::Scope::None &&
        !firmware::fileNameMarks(FirmwareFile, fileMarkOfScope(scope))) {
        prompts().message(QStringLiteral("You have selected wrong file"),
                          MessageStyle::ExclamationOk, QStringLiteral("File Error"));
        endStart();
        return;
    }

    const CardKind kind =
        scope == link::Scope::ManagementCard ? CardKind::Manager : CardKind::Remote;
    const firmware::FileOutcome outcome = Firmware.readAndCheck(FirmwareFile, kind, time());
    FileVersionText = Firmware.fileVersionText;
    if (!outcome.ok()) {
        prompts().beep();
        prompts().message(outcome.text, outcome.style, outcome.title);
        endStart();
        return;
    }
    if (scope == link::Scope::None) {
        warnAndEndStart(QStringLiteral("You must choose card(s) for update"));
        return;
    }
    if (preparationInterrupted(scope, remoteCards)) {
        endStart();
        return;
    }

    if (!link.checkPortOpen()) {
        endStart();
        return;
    }
    // Before the version query: nothing goes to the cards of a real switch
    // on behalf of a sample file.
    if (const firmware::FileOutcome destination = Firmware.checkDestination(MSComm1.deviceReach());
        !destination.ok()) {
        prompts().beep();
        prompts().message(destination.text, destination.style, destination.title);
        endStart();
        return;
    }
    // Texts of an earlier run must not stand in for a card that stays silent now.
    ManagerVersionText.clear();
    for (QString& text : RemoteVersionTexts)
        text.clear();
    link.linkOk = false;
    UpdateMode = true;
    GetVersions(scope);
    time().yield();
    // A port that went away during the query has been reported once; with
    // no line to the cards there is nothing to ask about and nothing to send.
    if (preparationInterrupted(scope, remoteCards) || !MSComm1.portOpen()) {
        endStart();
        return;
    }

    const bool ok = scope == link::Scope::ManagementCard ? ConfirmLanguage() : true;
    if (link.linkOk && ok) {
        ShowVersionDialog();
        UpdateMode = false;
        if (UpdateConfirmed) {
            RunUpdate(scope);
            time().yield();
        } else {
            endStart();
        }
    } else if (scope == link::Scope::ManagementCard && ok) {
        // The management card did not answer; its language was asked about.
        UpdateMode = false;
        UpdateConfirmed = true;
        RunUpdate(scope);
        time().yield();
    } else {
        endStart();
    }
}

bool MainForm::ConfirmLanguage()
{
    const firmware::LanguageCheck check =
        firmware::checkLanguage(ManagerVersionText, FileVersionText);
    LanguageChange = false;
    switch (check.outcome) {
    case firmware::LanguageCheck::Outcome::Same:
        return true;
    case firmware::LanguageCheck::Outcome::UnknownFileLanguage:
        prompts().beep();
        prompts().message(QStringLiteral("File is in wrong hex format!"), MessageStyle::CriticalOk,
                          QStringLiteral("File Error"));
        return false;
    case firmware::LanguageCheck::Outcome::Question:
        break;
    }
    const int answer =
        prompts().message(check.question, MessageStyle::YesNoExclamation, QStringLiteral("Warning"));
    LanguageChange = answer == MessageResult::Yes;
    return LanguageChange;
}

// --- Update run ------------------------------------------------------------------

void MainForm::RunUpdate(int scope)
{
    if (scope == link::Scope::None || Busy)
        return;
    link::UpdatePlan plan;
    plan.scope = scope;
    plan.fileLength = Firmware.fileLength;
    plan.languageChange = LanguageChange;
    if (scope == link::Scope::ManagementCard) {
        plan.firstImage = Firmware.firstImage;
        plan.secondImage = Firmware.secondImage;
    } else {
        plan.records = Firmware.fileRecords;
        plan.remoteCards = selectedRemoteCards();
        plan.remoteCardCount = List1[2]->listCount() + List1[3]->listCount();
    }
    link::UpdateRun run(link, *this, [this](int versionScope) { GetVersions(versionScope); });
    run.run(plan, RemoteCardSelected);
}

// --- What the download and the update run show ---------------------------------------

void MainForm::downloadBegins()
{
    asxToolbar1->setButtonEnabled(ToolbarButton::HardwareVersion, false);
    asxToolbar1->refresh();
    setEnabled(false);
}

// Lists are rewritten from the bottom, as the cards were always cleared.
void MainForm::downloadStored(int target)
{
    ListEventsSuppressed = true;
    time().yield();
    if (target == link::DownloadTarget::ManagementCard) {
        List1[1]->setItemText(0, managerItemText());
    } else {
        const int firstCount = List1[2]->listCount();
        for (int j = firstCount - 1; j >= 0; --j) {
            if (List1[2]->isItemSelected(j))
                List1[2]->setItemText(j, remoteItemText(j + 2));
        }
        for (int j = List1[3]->listCount() - 1; j >= 0; --j) {
            if (List1[3]->isItemSelected(j))
                List1[3]->setItemText(j, remoteItemText(j + firstCount + 2));
        }
    }
    ListEventsSuppressed = false;
}

void MainForm::downloadEnds()
{
    asxToolbar1->setButtonEnabled(ToolbarButton::Cancel, true);
    asxToolbar1->refresh();
}

void MainForm::updateRunBegins()
{
    Busy = true;
    setMenusEnabled(false);
    setEnabled(false);
    WantHardwareVersion = false;
    ListEventsSuppressed = false;
}

void MainForm::managerRunBegins()
{
    List1[1]->setItemText(0, managerItemText());
    for (int list : {2, 3, 1})
        List1[list]->setEnabled(false);
}

void MainForm::remoteRunBegins()
{
    for (int list : {1, 2, 3})
        List1[list]->setEnabled(false);
    List1[3]->setListIndex(-1);
}

void MainForm::remoteDownloadOver()
{
    List1[3]->setListIndex(-1);
}

void MainForm::managerRunEnds()
{
    setEnabled(true);
    List1[1]->setEnabled(true);
}

void MainForm::remoteRunEnds()
{
    setEnabled(true);
    List1[2]->setEnabled(true);
    List1[3]->setEnabled(true);
    asxToolbar1->setButtonEnabled(ToolbarButton::SelectAll, true);
    asxToolbar1->setButtonEnabled(ToolbarButton::UnselectAll, true);
}

void MainForm::updateRunEnds()
{
    Busy = false;
    setMenusEnabled(true);
    for (int button = ToolbarButton::Start; button <= ToolbarButton::Cancel; ++button)
        asxToolbar1->setButtonEnabled(button, true);
    asxToolbar1->refresh();
    setEnabled(true);
}

} // namespace quorlink::app
