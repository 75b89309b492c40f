#include "cardlist.h"
#include "switchcommand.h"

#include "link/link.h"
#include "link/protocol.h"
#include "link/resetrun.h"
#include "platform/runtimeerror.h"

#include <QTextStream>

namespace quorlink::cli {

namespace {

// The window lists every remote card, so "all" goes out as one frame to 0xFF.
constexpr int ListedRemoteCards =
    link::protocol::LastRemoteCard - link::protocol::FirstRemoteCard + 1;

} // namespace

int runReset(const QStringList& arguments, Streams& streams)
{
    SwitchCommand command(QStringLiteral("reset"), streams);
    if (const auto done = command.parse(arguments, 0))
        return *done;
    if (const auto several = command.runSideBySide(arguments, runReset))
        return *several;
    std::optional<int> usageExit;
    QString problem = command.open(usageExit);
    if (usageExit)
        return *usageExit;

    bool acknowledged = false;
    if (problem.isEmpty()) {
        link::Link& link = command.link();
        const link::Link::Operation operation(link);
        const bool manager = command.managementCard();
        try {
            acknowledged = link::ResetRun(link, command.view())
                               .resetCards(manager ? link::ResetMode::ManagementCard
                                                   : link::ResetMode::RemoteCards,
                                           manager ? QList<int>{} : command.cards(),
                                           ListedRemoteCards);
        } catch (const RuntimeError& error) {
            streams.err << "quorlink reset: " << error.message() << "\n";
            problem = error.message();
        }
    }
    if (command.json()) {
        printJsonObject(streams,
                        {{QStringLiteral("ok"), acknowledged},
                         {QStringLiteral("message"),
                          problem.isEmpty() ? command.messageValue() : QJsonValue(problem)}});
    } else if (acknowledged) {
        streams.out << "Reset completed: card(s) " << cardListText(command.cards()) << "\n";
    }
    return acknowledged ? ExitCode::Success : ExitCode::SwitchFailed;
}

} // namespace quorlink::cli
