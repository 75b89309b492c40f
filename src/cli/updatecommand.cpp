#include "cardlist.h"
#include "switchcommand.h"

#include "firmware/firmwarereader.h"
#include "firmware/language.h"
#include "link/link.h"
#include "link/protocol.h"
#include "link/updaterun.h"
#include "link/versionrun.h"
#include "platform/qttimesource.h"
#include "platform/runtimeerror.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QTextStream>

#include <algorithm>

namespace quorlink::cli {

namespace {

using firmware::CardKind;
using firmware::FirmwareReader;

const QString FirmwarePrefix = QStringLiteral(" F/W - ");
// The window lists every remote card: "all" goes to all remote cards at once.
constexpr int ListedRemoteCards =
    link::protocol::LastRemoteCard - link::protocol::FirstRemoteCard + 1;

enum class Answer
{
    Yes,
    No,
    Refused // no terminal to ask and no --yes
};

// A Yes/No question: --yes answers it, a terminal is asked, anything else
// refuses, so that a script never changes cards it was not told to.
Answer ask(Streams& streams, const QString& question, bool yes)
{
    QString flat = question;
    flat.replace(QLatin1String("\r\n"), QLatin1String(" "));
    if (yes) {
        streams.err << flat << " yes (--yes)\n";
        streams.err.flush();
        return Answer::Yes;
    }
    if (!isTerminal(stdin))
        return Answer::Refused;
    streams.err << flat << " ";
    streams.err.flush();
    QTextStream in(stdin);
    const QString reply = in.readLine().trimmed();
    return reply.startsWith(u'y', Qt::CaseInsensitive) ? Answer::Yes : Answer::No;
}

// Everything an update run needs, and what it found.
struct Update
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
    QString problem; // a run-time error that ended the command

    bool manager() const { return command.managementCard(); }
    int scope() const
    {
        return manager() ? link::Scope::ManagementCard : link::Scope::RemoteCards;
    }

    void queryVersions(bool updateMode)
    {
        command.view().expectCards(command.cards());
        link::VersionRun(command.link(), command.view(), {false, updateMode})
            .getVersions(scope(), command.cards());
    }

    link::UpdatePlan plan(bool languageChange) const
    {
        link::UpdatePlan plan;
        plan.scope = scope();
        plan.fileLength = file.fileLength;
        plan.languageChange = languageChange;
        if (manager()) {
            plan.firstImage = file.firstImage;
            plan.secondImage = file.secondImage;
        } else {
            plan.records = file.fileRecords;
            plan.remoteCards = command.cards();
            plan.remoteCardCount = ListedRemoteCards;
        }
        return plan;
    }

    void run(bool languageChange)
    {
        link::Link& link = command.link();
        // The window reads the versions back through its own query, no
        // longer in update mode.
        link::UpdateRun run(link, command.view(), [this](int) {
            readBack = true;
            queryVersions(false);
            after = command.view().cards();
        });
        link::RemoteCardFlags flags{};
        run.run(plan(languageChange), flags);
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

// Checks the file against the cards as Open and Start do; an exit code when
// it does not do.
std::optional<int> checkFile(Update& update)
{
    SwitchCommand& command = update.command;
    const QLatin1String mark = update.manager() ? QLatin1String("mgt") : QLatin1String("rem");
    if (!firmware::fileNameMarks(update.path, mark)) {
        command.prompts().message(QStringLiteral("You have selected wrong file"),
                                  MessageStyle::ExclamationOk, QStringLiteral("File Error"));
        return ExitCode::FileError;
    }
    if (!QFileInfo::exists(update.path))
    {
        command.prompts().message(QStringLiteral("File ") + update.path +
                                      QStringLiteral(" not found"),
                                  MessageStyle::CriticalOk, QStringLiteral("File Error"));
        return ExitCode::FileError;
    }
    QtTimeSource time(Qt::CoarseTimer);
    const firmware::FileOutcome outcome = update.file.readAndCheck(
        update.path, update.manager() ? CardKind::Manager : CardKind::Remote, time);
    if (!outcome.ok()) {
        command.prompts().message(outcome.text, outcome.style, outcome.title);
        return ExitCode::FileError;
    }
    return std::nullopt;
}

// A question declined, or nobody there to answer it: nothing is sent.
int refuse(Update& update, const QString& reason)
{
    update.streams.err << "quorlink update: " << reason << "\n";
    update.problem = reason;
    return ExitCode::Usage;
}

// The language question of a management card update; an exit code when the
// update must not go on.
std::optional<int> confirmLanguage(Update& update, bool& languageChange)
{
    const QString cardText =
        update.before.isEmpty() || update.before.first().status != CardVersion::Status::Ok
            ? QString()
            : update.before.first().version;
    const firmware::LanguageCheck check =
        firmware::checkLanguage(cardText, update.file.fileVersionText);
    switch (check.outcome) {
    case firmware::LanguageCheck::Outcome::Same:
        return std::nullopt;
    case firmware::LanguageCheck::Outcome::UnknownFileLanguage:
        update.command.prompts().message(QStringLiteral("File is in wrong hex format!"),
                                         MessageStyle::CriticalOk, QStringLiteral("File Error"));
        return ExitCode::FileError;
    case firmware::LanguageCheck::Outcome::Question:
        break;
    }
    switch (ask(update.streams, check.question, update.yes)) {
    case Answer::Yes:
        languageChange = true;
        return std::nullopt;
    case Answer::No:
        return refuse(update, QStringLiteral("the OSD language change was declined"));
    case Answer::Refused:
        break;
    }
    return refuse(update, QStringLiteral("the OSD language would change: answer on a terminal or "
                                         "give --yes"));
}

std::optional<int> confirmUpdate(Update& update)
{
    if (!update.yes) {
        update.streams.err << "Current version(s):\n";
        printCardVersions(update.streams.err, update.before, FirmwarePrefix);
        update.streams.err << "File version: " << update.file.fileVersionText << "\n";
    }
    switch (ask(update.streams, QStringLiteral("Update card(s) %1 (Y/N)?")
                                    .arg(cardListText(update.command.cards())),
                update.yes)) {
    case Answer::Yes:
        return std::nullopt;
    case Answer::No:
        return refuse(update, QStringLiteral("the update was not confirmed"));
    case Answer::Refused:
        break;
    }
    return refuse(update, QStringLiteral("no confirmation: confirm on a terminal or give --yes"));
}

// A sample file goes to the simulated switches only; on a serial line
// nothing is sent, not even the version query.
std::optional<int> checkDestination(Update& update)
{
    const firmware::FileOutcome outcome =
        update.file.checkDestination(update.command.session().port().deviceReach());
    if (outcome.ok())
        return std::nullopt;
    update.command.prompts().message(outcome.text, outcome.style, outcome.title);
    return ExitCode::FileError;
}

// Reads the versions, asks, downloads and reads back: the exit code.
int updateCards(Update& update)
{
    SwitchCommand& command = update.command;
    link::Link& link = command.link();
    const link::Link::Operation operation(link);
    link.linkOk = false;
    update.queryVersions(true);
    update.before = command.view().cards();
    // A device that went away during the query has been reported once; with
    // no line to the cards there is nothing to ask about and nothing to send.
    if (!link.port().portOpen())
        return ExitCode::SwitchFailed;

    bool languageChange = false;
    if (update.manager()) {
        if (const auto done = confirmLanguage(update, languageChange))
            return *done;
    }
    if (link.linkOk) {
        if (const auto done = confirmUpdate(update))
            return *done;
    } else if (!update.manager()) {
        // A remote card that did not answer: the communication error has
        // been shown, nothing is sent.
        return ExitCode::SwitchFailed;
    }
    update.target = update.manager() ? link::DownloadTarget::ManagementCard
                                     : link::UpdateRun::remoteTarget(command.cards(),
                                                                     ListedRemoteCards);
    update.run(languageChange);
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

    Update update(command, streams, command.parser().positionalArguments().first(),
                  command.parser().isSet(yes));
    std::optional<int> code = checkFile(update);
    if (!code) {
        std::optional<int> usageExit;
        update.problem = command.open(usageExit);
        if (usageExit)
            return *usageExit;
        if (!update.problem.isEmpty()) {
            code = ExitCode::SwitchFailed;
        } else {
            try {
                code = checkDestination(update);
                if (!code)
                    code = updateCards(update);
            } catch (const RuntimeError& error) {
                command.progress().clear();
                streams.err << "quorlink update: " << error.message() << "\n";
                update.problem = error.message();
                code = ExitCode::SwitchFailed;
            }
        }
    }
    printResult(update, *code);
    return *code;
}

} // namespace quorlink::cli
