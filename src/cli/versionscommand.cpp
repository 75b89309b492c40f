#include "switchcommand.h"

#include "link/link.h"
#include "link/protocol.h"
#include "link/versionrun.h"
#include "platform/runtimeerror.h"

#include <QJsonArray>
#include <QTextStream>

namespace quorlink::cli {

QJsonArray cardVersionsJson(const QList<CardVersion>& cards)
{
    QJsonArray entries;
    for (const CardVersion& card : cards) {
        const bool ok = card.status == CardVersion::Status::Ok;
        entries.append(QJsonObject{
            {QStringLiteral("card"), card.card},
            {QStringLiteral("version"), ok ? QJsonValue(card.version) : QJsonValue()},
            {QStringLiteral("status"), statusName(card.status)},
        });
    }
    return entries;
}

void printCardVersions(QTextStream& out, const QList<CardVersion>& cards, const QString& prefix)
{
    for (const CardVersion& card : cards) {
        out << "card " << QString::number(card.card).rightJustified(2) << ": ";
        if (card.status == CardVersion::Status::Ok ||
            card.status == CardVersion::Status::NotResponding)
            out << prefix.trimmed() << " " << card.version << "\n";
        else
            out << statusName(card.status) << "\n";
    }
}

int runVersions(const QStringList& arguments, Streams& streams)
{
    SwitchCommand command(QStringLiteral("versions"), streams);
    const QCommandLineOption hardware(QStringLiteral("hardware"),
                                      QStringLiteral("Ask for the hardware version instead of "
                                                     "the firmware version."));
    command.parser().addOption(hardware);
    if (const auto done = command.parse(arguments, 0))
        return *done;
    if (const auto several = command.runSideBySide(arguments, runVersions))
        return *several;

    TextView& view = command.view();
    view.expectCards(command.cards());
    std::optional<int> usageExit;
    QString problem = command.open(usageExit);
    if (usageExit)
        return *usageExit;

    link::VersionRun::Options runOptions;
    runOptions.hardware = command.parser().isSet(hardware);
    const QString prefix =
        runOptions.hardware ? QStringLiteral(" H/W - ") : QStringLiteral(" F/W - ");
    if (problem.isEmpty()) {
        link::Link& link = command.link();
        const link::Link::Operation operation(link);
        link::VersionRun run(link, view, runOptions);
        try {
            run.getVersions(command.managementCard() ? link::Scope::ManagementCard
                                                     : link::Scope::RemoteCards,
                            command.cards());
        } catch (const RuntimeError& error) {
            command.progress().clear();
            streams.err << "quorlink versions: " << error.message() << "\n";
            problem = error.message();
        }
    }
    const bool ok = problem.isEmpty() && view.everyCardAnswered();
    if (command.json()) {
        printJsonObject(streams,
                        {{QStringLiteral("ok"), ok},
                         {QStringLiteral("message"),
                          problem.isEmpty() ? command.messageValue() : QJsonValue(problem)},
                         {QStringLiteral("cards"), cardVersionsJson(view.cards())}});
    } else {
        printCardVersions(streams.out, view.cards(), prefix);
    }
    return ok ? ExitCode::Success : ExitCode::SwitchFailed;
}

} // namespace quorlink::cli
