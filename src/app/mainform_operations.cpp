// Entry points of the operations the window starts: the version query and
// the card reset (File > Open and Start are in mainform_update.cpp). Their
// runs over the link come with those operations; here only the checks that
// need nothing but the selection.
#include "mainform.h"

#include "logging.h"

#include "platform/prompts.h"
#include "platform/runtimeerror.h"

namespace quorlink::app {

// One operation on the link at a time: a command that finds one running is
// ignored (every wait yields, so it could otherwise take the running one's
// reply and leave it waiting for ever).
void MainForm::CheckVersionSelection(bool hardware)
{
    if (link.operationRunning())
        return;
    const link::Link::Operation operation(link);
    link.cancelRequested = false;
    link.replyReceived = false;
    const int scope = selectionScope();
    if (scope == 0) {
        prompts().beep();
        prompts().message(QStringLiteral("You must choose card(s) to get a version"),
                          MessageStyle::ExclamationOk, QStringLiteral("Warning"));
        return;
    }
    if (!link.checkPortOpen())
        return;
    try {
        GetVersions(scope, {hardware, false});
    } catch (const RuntimeError& error) {
        qCInfo(lcApp) << "version run:" << error.message();
        recoverFromVersionRunError();
    }
}

void MainForm::CheckResetSelection()
{
    if (link.operationRunning())
        return;
    const link::Link::Operation operation(link);
    int mode = 0;
    if (m_ui.List1[1]->selCount() != 0)
        mode = 1;
    if (m_ui.List1[2]->selCount() != 0)
        mode = 2;
    else if (m_ui.List1[3]->selCount() != 0)
        mode = 3;
    if (mode == 0) {
        prompts().beep();
        prompts().message(QStringLiteral("You must choose card(s) for reset"),
                          MessageStyle::ExclamationOk, QStringLiteral("Warning"));
        return;
    }
    ResetCards(mode);
}

} // namespace quorlink::app
