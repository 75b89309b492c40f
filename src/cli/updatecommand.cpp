#include "cardlist.h"
#include "switchcommand.h"

#include "firmware/firmwarereader.h"
#include "link/link.h"
#include "link/protocol.h"
#include "link/updatepreparation.h"
#include "link/versionrun.h"
#include "platform/runtimeerror.h"

#include <QJsonArray>

#include <algorithm>

namespace quorlink::cli {

namespace {

using firmware::FirmwareReader;
using Outcome = link::UpdatePreparation::Outcome;

const QString FirmwarePrefix = QStringLiteral(" F/W - ");
// The window lists every remote card: "all" goes to all remote cards at once.
constexpr int ListedRemoteCards =
    link::protocol::LastRemoteCard - link::protocol::FirstRemoteCard + 1;

// Everything an update run needs, and what it found; the tool's side of
// Start's preparation.
struct Update final : link::PreparationFace
{
    Update(SwitchCommand& switchCommand, Streams& commandStreams, const QString& filePath,
           bool answerYes)
        : command(switchCommand), streams(commandStreams), path(filePath), yes(answerYes)
    {
    }

    SwitchCommand& command;
    Streams& streams;
    FirmwareReader file;
    QString path;
    bool yes = false;
    QList<CardVersion> before;
    QList<CardVersion> after;
    bool readBack = false;
    int target = 0;
    QString problem; // a run-time error or a declined question that ended the command
    std::optional<int> usageExit;
    std::optional<link::Link::Operation> operation;

    bool manager() const { return command.managementCard(); }
    link::Scope scope() const
    {
        return manager() ? link::Scope::ManagementCard : link::Scope::RemoteCards;
    }

    // The session opens only for a file that passed its checks.
    link::Link* openLink() override
    {
        problem = command.open(usageExit);
        if (usageExit || !problem.isEmpty())
            return nullptr;
        operation.emplace(command.link());
        return &command.link();
    }
    void readVersions(link::Scope) override
    {
        queryVersions(true);
        before = command.view().cards();
    }
    QString managerVersionText() const override
    {
        return before.isEmpty() || before.first().status != CardVersion::Status::Ok
                   ? QString()
                   : before.first().version;
    }
    bool confirmUpdate() override
    {
        if (!yes) {
            streams.err << "Current version(s):\n";
            printCardVersions(streams.err, before, FirmwarePrefix);
            streams.err << "File version: " << file.fileVersionText << "\n";
        }
        switch (command.prompts().ask(
            QStringLiteral("Update card(s) %1 (Y/N)?").arg(cardListText(command.cards())))) {
        case TextPrompts::Answer::Yes:
            return true;
        case TextPrompts::Answer::No:
            problem = QStringLiteral("the update was not confirmed");
            break;
        case TextPrompts::Answer::Refused:
            problem = QStringLiteral("no confirmation: confirm on a terminal or give --yes");
            break;
        }
        return false;
    }
    QList<int> remoteCards() const override { return command.cards(); }

    void queryVersions(bool updateMode)
    {
        command.view().expectCards(command.cards());
        link::VersionRun(command.link(), command.view(), {false, updateMode})
            .getVersions(scope(), command.cards());
    }

    void run(const link::UpdatePlan& plan)
    {
        // The window reads the versions back through its own query, no
        // longer in update mode.
        link::UpdateRun run(command.link(), command.view(), [this](link::Scope) {
            readBack = true;
            queryVersions(false);
            after = command.view().cards();
        });
        link::RemoteCardFlags flags{};
        run.run(plan, flags);
    }
};

QJsonArray afterJson(const QList<CardVersion>& cards, const QString& fileVersion)
{
    QJsonArray entries = cardVersionsJson(cards);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        QJsonObject entry = entries[i].toObject();
        entry[QStringLiteral("matches_file")] = cards[i].status == CardVersion::Status::Ok &&
                                                cards[i].version == fileVersion;
        entries[i] = entry;
    }
    return entries;
}

// A question declined, or nobody there to answer it: nothing is sent.
int refuse(Update& update)
{
    update.streams.err << "quorlink update: " << update.problem << "\n";
    return ExitCode::Usage;
}

// Prepares as Start does, then downloads and reads back: the exit code.
int updateCards(Update& update)
{
    link::UpdatePreparation preparation(update, update.command.prompts(), update.command.time(),
                                        update.file);
    switch (preparation.prepare({update.path, update.scope(), ListedRemoteCards, true})) {
    case Outcome::Run:
        break;
    case Outcome::FileRefused:
        return ExitCode::FileError;
    case Outcome::LanguageDeclined:
        update.problem = update.command.prompts().lastAnswer() == TextPrompts::Answer::No
                             ? QStringLiteral("the OSD language change was declined")
                             : QStringLiteral("the OSD language would change: answer on a "
                                              "terminal or give --yes");
        return refuse(update);
    case Outcome::NotConfirmed:
        return refuse(update);
    case Outcome::NoLink:
    case Outcome::NoAnswer:
    case Outcome::Ended:
        return ExitCode::SwitchFailed;
    }
    // Side by side, no switch starts downloading while another still waits
    // for its answer.
    if (SwitchSlot* slot = update.streams.slot)
        slot->beforeChanges();
    const link::UpdatePlan& plan = preparation.plan();
    update.target = update.manager() ? link::DownloadTarget::ManagementCard
                                     : link::UpdateRun::remoteTarget(plan.remoteCards,
                                                                     ListedRemoteCards);
    update.run(plan);
    const bool answered = std::all_of(update.after.begin(), update.after.end(),
                                      [](const CardVersion& card) {
                                          return card.status == CardVersion::Status::Ok;
                                      });
    return update.readBack && answered ? ExitCode::Success : ExitCode::SwitchFailed;
}

void printResult(Update& update, int code)
{
    SwitchCommand& command = update.command;
    const QString fileVersion = update.file.fileVersionText;
    if (command.json()) {
        printJsonObject(update.streams,
                        {{QStringLiteral("ok"), code == ExitCode::Success},
                         {QStringLiteral("message"), update.problem.isEmpty()
                                                         ? command.messageValue()
                                                         : QJsonValue(update.problem)},
                         {QStringLiteral("target"), update.target},
                         {QStringLiteral("before"), cardVersionsJson(update.before)},
                         {QStringLiteral("after"), afterJson(update.after, fileVersion)}});
        return;
    }
    if (!update.readBack)
        return;
    update.streams.out << "Updated to " << fileVersion << ":\n";
    printCardVersions(update.streams.out, update.after, FirmwarePrefix);
    for (const CardVersion& card : update.after) {
        if (card.status == CardVersion::Status::Ok && card.version != fileVersion)
            update.streams.err << "warning: card " << card.card << " reports \"" << card.version
                               << "\", not the file's \"" << fileVersion << "\"\n";
    }
}

} // namespace

int runUpdate(const QStringList& arguments, Streams& streams)
{
    SwitchCommand command(QStringLiteral("update"), streams);
    const QCommandLineOption yes(QStringLiteral("yes"),
                                 QStringLiteral("Answer the OSD language question and the "
                                                "confirmation with Yes (needed without a "
                                                "terminal)."));
    command.parser().addOption(yes);
    command.parser().addPositionalArgument(QStringLiteral("FILE"),
                                           QStringLiteral("The firmware file (.hex)."));
    if (const auto done = command.parse(arguments, 1, QStringLiteral("file")))
        return *done;
    if (const auto several =
            command.runSideBySide(arguments, runUpdate, command.parser().isSet(yes)))
        return *several;

    Update update(command, streams, command.parser().positionalArguments().first(),
                  command.parser().isSet(yes));
    command.prompts().answerYes = update.yes;
    command.prompts().onTerminal = isTerminal(stdin);
    int code = ExitCode::SwitchFailed;
    try {
        code = updateCards(update);
    } catch (const RuntimeError& error) {
        command.progress().clear();
        streams.err << "quorlink update: " << error.message() << "\n";
        update.problem = error.message();
    }
    if (update.usageExit)
        return *update.usageExit;
    printResult(update, code);
    return code;
}

} // namespace quorlink::cli
