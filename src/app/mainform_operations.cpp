// Entry points of the operations the window starts: the version query, the
// card reset, File > Open and Start. Their runs over the link and the
// firmware file come with those operations; here only the checks that need
// nothing but the selection.
#include "mainform.h"

#include "platform/prompts.h"

namespace quorlink::app {

void MainForm::CheckVersionSelection()
{
    link.cancelRequested = false;
    link.replyReceived = false;
    const int scope = selectionScope();
    if (scope == 0) {
        prompts().beep();
        prompts().message(QStringLiteral("You must choose card(s) to get a version"),
                          MessageStyle::ExclamationOk, QStringLiteral("Warning"));
        return;
    }
    // The version run over the selected cards (GetVersions) goes here.
}

void MainForm::CheckResetSelection()
{
    int mode = 0;
    if (List1[1]->selCount() != 0)
        mode = 1;
    if (List1[2]->selCount() != 0)
        mode = 2;
    else if (List1[3]->selCount() != 0)
        mode = 3;
    if (mode == 0) {
        prompts().beep();
        prompts().message(QStringLiteral("You must choose card(s) for reset"),
                          MessageStyle::ExclamationOk, QStringLiteral("Warning"));
        return;
    }
    // The reset of the chosen cards (ResetCards) goes here.
}

void MainForm::StartUpdate()
{
    // Reads and checks the firmware file, reads the cards' versions, asks
    // for confirmation and starts the update run.
}

void MainForm::mnuOpen_Click()
{
    // Chooses the firmware file that fits the selected kind of card.
}

} // namespace quorlink::app
