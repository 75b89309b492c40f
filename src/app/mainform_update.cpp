// The firmware update as the window drives it: File > Open, Start with its
// checks and questions, and the window's side of the download and the
// update run, whose link work lives in link/.
#include "mainform.h"

#include "logging.h"

#include "firmware/firmwarereader.h"
#include "link/updatepreparation.h"
#include "platform/firmwarefolder.h"
#include "platform/prompts.h"
#include "platform/runtimeerror.h"
#include "progbar/progbar.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace quorlink::app {

QString MainForm::openFolder() const
{
    return MSComm1.deviceReach() == DeviceReach::Simulation ? sampleFolder() : firmwareFolder();
}

// --- File > Open -------------------------------------------------------------------

void MainForm::mnuOpen_Click()
{
    const bool manager = managerSelected();
    const bool remote = remoteSelected();
    if (!manager && !remote)
        return;
    QString filter;
    if (manager)
        filter = QStringLiteral("Hex Files (*.hex)|qdx_mgt*e.hex");
    if (remote)
        filter = QStringLiteral("Hex Files (*.hex)|qdx_rem*e.hex");
    const QString path = prompts().openFileName(openFolder(), filter);
    if (path.isEmpty())
        return;

    const firmware::FileOutcome name = firmware::checkFileName(
        path, manager ? firmware::CardKind::Manager : firmware::CardKind::Remote);
    if (!name.ok()) {
        clearFirmwareFile();
        prompts().message(name.text, name.style, name.title);
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
        const firmware::FileOutcome missing = firmware::FileOutcome::notFound(path);
        prompts().message(missing.text, missing.style, missing.title);
        return false;
    }
    bool copied = false;
    // Only a regular file is read: a named pipe would block the window until
    // something writes to it, and a device never ends.
    QFile file(path);
    QTemporaryFile workingCopy(
        QDir(m_services.systemDirectory).filePath(QStringLiteral("myXXXXXX.hex")));
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
        const firmware::FileOutcome failure = firmware::FileOutcome::cannotRead(path);
        prompts().message(failure.text, failure.style, failure.title);
        return false;
    }
    return true;
}

// --- Start -------------------------------------------------------------------------

// The window's side of Start's preparation: its version query and dialog,
// and the lists, which still take clicks while the file is read.
class MainForm::WindowPreparation final : public link::PreparationFace
{
public:
    WindowPreparation(MainForm& form, link::Scope scope)
        : m_form(form), m_scope(scope), m_remoteCards(form.selectedRemoteCards())
    {
    }

    // Cancel, or any change of the cards chosen at Start, ends the command
    // before anything is sent. The update writes the cards the selection
    // holds when it begins, so a click that kept the scope would otherwise
    // add a card the user never chose for it, or drop one the version dialog
    // listed.
    bool stillWanted() override
    {
        return !m_form.link.cancelRequested && m_form.selectionScope() == m_scope &&
               m_form.selectedRemoteCards() == m_remoteCards;
    }
    link::Link* openLink() override
    {
        return m_form.link.checkPortOpen() ? &m_form.link : nullptr;
    }
    void readVersions(link::Scope scope) override
    {
        // Texts of an earlier run must not stand in for a card that stays silent now.
        m_form.m_managerVersionText.clear();
        for (QString& text : m_form.m_remoteVersionTexts)
            text.clear();
        m_form.GetVersions(scope, {false, true});
        m_form.time().yield();
    }
    QString managerVersionText() const override { return m_form.m_managerVersionText; }
    bool confirmUpdate() override
    {
        m_form.m_fileVersionText = m_form.m_firmware.fileVersionText;
        return m_form.ShowVersionDialog();
    }
    QList<int> remoteCards() const override { return m_form.selectedRemoteCards(); }

private:
    MainForm& m_form;
    link::Scope m_scope;
    QList<int> m_remoteCards;
};

void MainForm::StartUpdate()
{
    if (link.operationRunning())
        return;
    link::Link::Operation operation(link);
    try {
        prepareAndRunUpdate();
    } catch (const RuntimeError& error) {
        qCInfo(lcApp) << "update stopped:" << error.message();
        const firmware::FileOutcome failure = firmware::FileOutcome::cannotRead(m_firmwareFile);
        prompts().beep();
        prompts().message(failure.text, failure.style, failure.title);
        // Whatever the error interrupted, the window must close again.
        m_ui.ProgBar1->setBarStartColour(Colour::Blue);
        m_ui.ProgBar1->setBarEndColour(Colour::Blue);
        link.settleTimersAndInput();
        RestoreIdleState();
        time().yield();
    }
}

void MainForm::prepareAndRunUpdate()
{
    link.cancelRequested = false;
    for (int button = ToolbarButton::SelectAll; button <= ToolbarButton::Cancel; ++button)
        m_ui.asxToolbar1->setButtonEnabled(button, false);
    m_ui.asxToolbar1->refresh();

    const link::Scope scope = selectionScope();
    WindowPreparation face(*this, scope);
    link::UpdatePreparation preparation(face, prompts(), time(), m_firmware);
    const auto outcome = preparation.prepare(
        {m_firmwareFile, scope,
         m_ui.List1[FirstRemoteList]->listCount() + m_ui.List1[SecondRemoteList]->listCount()});
    m_fileVersionText = m_firmware.fileVersionText;
    if (outcome != link::UpdatePreparation::Outcome::Run) {
        RestoreIdleState();
        time().yield();
        return;
    }
    RunUpdate(preparation.plan());
    time().yield();
}

// --- Update run ------------------------------------------------------------------

// Only Start comes here, holding the link's operation: no second run can
// begin while one goes on.
void MainForm::RunUpdate(const link::UpdatePlan& plan)
{
    if (plan.scope == link::Scope::None)
        return;
    link::UpdateRun run(link, *this,
                        [this](link::Scope versionScope) { GetVersions(versionScope); });
    link::RemoteCardFlags groupFlags{};
    run.run(plan, groupFlags);
}

// --- What the download and the update run show ---------------------------------------

void MainForm::downloadBegins()
{
    m_ui.asxToolbar1->setButtonEnabled(ToolbarButton::HardwareVersion, false);
    m_ui.asxToolbar1->refresh();
    setEnabled(false);
}

// Lists are rewritten from the bottom, as the cards were always cleared.
void MainForm::downloadStored(int target)
{
    m_listEventsSuppressed = true;
    time().yield();
    if (target == link::DownloadTarget::ManagementCard) {
        m_ui.List1[1]->setItemText(0, managerItemText());
    } else {
        for (int list : {FirstRemoteList, SecondRemoteList}) {
            for (int row = m_ui.List1[list]->listCount() - 1; row >= 0; --row) {
                if (m_ui.List1[list]->isItemSelected(row))
                    m_ui.List1[list]->setItemText(row, remoteItemText(cardOfItem(list, row)));
            }
        }
    }
    m_listEventsSuppressed = false;
}

void MainForm::downloadEnds()
{
    m_ui.asxToolbar1->setButtonEnabled(ToolbarButton::Cancel, true);
    m_ui.asxToolbar1->refresh();
}

void MainForm::updateRunBegins()
{
    setMenusEnabled(false);
    setEnabled(false);
    m_listEventsSuppressed = false;
}

void MainForm::managerRunBegins()
{
    m_ui.List1[1]->setItemText(0, managerItemText());
    for (int list : {2, 3, 1})
        m_ui.List1[list]->setEnabled(false);
}

void MainForm::remoteRunBegins()
{
    for (int list : {1, 2, 3})
        m_ui.List1[list]->setEnabled(false);
    m_ui.List1[3]->setListIndex(-1);
}

void MainForm::remoteDownloadOver()
{
    m_ui.List1[3]->setListIndex(-1);
}

void MainForm::managerRunEnds()
{
    setEnabled(true);
    m_ui.List1[1]->setEnabled(true);
}

void MainForm::remoteRunEnds()
{
    setEnabled(true);
    m_ui.List1[2]->setEnabled(true);
    m_ui.List1[3]->setEnabled(true);
    m_ui.asxToolbar1->setButtonEnabled(ToolbarButton::SelectAll, true);
    m_ui.asxToolbar1->setButtonEnabled(ToolbarButton::UnselectAll, true);
}

void MainForm::updateRunEnds()
{
    setMenusEnabled(true);
    for (int button = ToolbarButton::Start; button <= ToolbarButton::Cancel; ++button)
        m_ui.asxToolbar1->setButtonEnabled(button, true);
    m_ui.asxToolbar1->refresh();
    setEnabled(true);
}

} // namespace quorlink::app
