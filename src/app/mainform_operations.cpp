// Entry points of the operations the window starts: the version query and
// the card reset (File > Open and Start are in mainform_update.cpp). Their
// runs over the link come with those operations; here only the checks that
// need nothing but the selection.
#include "mainform.h"

#include "logging.h"

#include "link/resetrun.h"

#include "platform/prompts.h"
#include "platform/runtimeerror.h"

namespace quorlink::app {

namespace {

// A reset's cards are those a version query would ask.
link::ResetMode resetModeOf(link::Scope scope)
{
    switch (scope) {
    case link::Scope::ManagementCard:
        return link::ResetMode::ManagementCard;
    case link::Scope::RemoteCards:
        return link::ResetMode::RemoteCards;
    case link::Scope::SecondRemoteListOnly:
        return link::ResetMode::SecondRemoteListOnly;
    case link::Scope::None:
        break;
    }
    return link::ResetMode::None;
}

} // namespace

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
    const link::Scope scope = selectionScope();
    if (scope == link::Scope::None) {
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
    const link::ResetMode mode = resetModeOf(selectionScope());
    if (mode == link::ResetMode::None) {
        prompts().beep();
        prompts().message(QStringLiteral("You must choose card(s) for reset"),
                          MessageStyle::ExclamationOk, QStringLiteral("Warning"));
        return;
    }
    ResetCards(mode);
}

} // namespace quorlink::app
