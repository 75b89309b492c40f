#include "command.h"

#include "platform/version.h"

#include <QTextStream>

#include <algorithm>

namespace quorlink::cli {

const QList<Command>& commands()
{
    static const QList<Command> table = {
        {QStringLiteral("check"), QStringLiteral("FILE [--json]"),
         QStringLiteral("read and check a firmware file as Start does, without a switch "
                        "(management card rules when characters 5-7 of the name are "
                        "\"mgt\")"),
         runCheck},
        {QStringLiteral("versions"),
         QStringLiteral("--cards LIST [--hardware] [switch options] [--json]"),
         QStringLiteral("ask the listed cards for their firmware (or hardware) versions, as F/W "
                        "Version and H/W Version do"),
         runVersions},
        {QStringLiteral("update"),
         QStringLiteral("FILE --cards LIST [--yes] [switch options] [--json]"),
         QStringLiteral("update the listed cards with FILE as Start does: file checked against "
                        "the cards, versions read, questions asked (--yes answers them), "
                        "download, versions read back"),
         runUpdate},
        {QStringLiteral("reset"), QStringLiteral("--cards LIST [switch options] [--json]"),
         QStringLiteral("restart the listed cards, as Reset does"), runReset},
        {QStringLiteral("ports"),
         QStringLiteral("[--port N --device PATH] [--com N=DEVICE]... [--simulate] [--json]"),
         QStringLiteral("COM1 to COM4: the device behind each, whether the switch can use it, "
                        "and why not"),
         runPorts},
        {QStringLiteral("simulate"),
         QStringLiteral(
             "--pty [--cards LIST] [--silent LIST] [--not-responding LIST] "
             "[--refuse-record N] [--abort-record N] [--delay MS] [--instant] [--record FILE]"),
         QStringLiteral("run a simulated switch behind a pseudo-terminal; prints its device path "
                        "first and runs until interrupted"),
         runSimulate},
    };
    return table;
}

QString exitCodeText()
{
    return QStringLiteral("exit codes:\n"
                          "  0  success\n"
                          "  1  the switch failed (communication or verification error, no "
                          "acknowledgement, device not usable)\n"
                          "  2  wrong arguments, or a question refused\n"
                          "  3  file error (missing, unreadable or rejected firmware file)\n");
}

QString usageText()
{
    QString text = QStringLiteral("usage: quorlink <command> [arguments]\n"
                                  "       quorlink <command> --help\n"
                                  "       quorlink --version\n\ncommands:\n");
    for (const Command& command : commands()) {
        text += QStringLiteral("  %1 %2\n      %3\n")
                    .arg(command.name, command.arguments, command.summary);
    }
    text += QStringLiteral("\n") + exitCodeText();
    return text;
}

int usageError(Streams& streams, const QString& name, const QString& problem)
{
    streams.err << "quorlink " << name << ": " << problem << " (quorlink " << name << " --help)\n";
    streams.err.flush();
    return ExitCode::Usage;
}

namespace {

const Command* findCommand(const QString& name)
{
    const auto& table = commands();
    const auto found = std::find_if(table.begin(), table.end(), [&name](const Command& command) {
        return command.name == name;
    });
    return found == table.end() ? nullptr : &*found;
}

} // namespace

CommandLine::CommandLine(const QString& commandName)
    : m_command(*findCommand(commandName)),
      m_help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."))
{
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOption(m_help);
}

std::optional<int> CommandLine::parse(const QStringList& arguments, Streams& streams)
{
    // The parser takes the program's name first.
    if (!m_parser.parse(QStringList{QStringLiteral("quorlink")} + arguments))
        return fail(streams, m_parser.errorText());
    if (m_parser.isSet(m_help)) {
        streams.out << helpText();
        return ExitCode::Success;
    }
    return std::nullopt;
}

std::optional<int> CommandLine::requirePositional(int least, int most, const QString& what,
                                                  Streams& streams)
{
    const qsizetype count = m_parser.positionalArguments().size();
    if (count < least)
        return fail(streams, QStringLiteral("which %1?").arg(what));
    if (count > most)
        return fail(streams, QStringLiteral("unexpected argument \"%1\"")
                                 .arg(m_parser.positionalArguments().at(most)));
    return std::nullopt;
}

QString CommandLine::helpText() const
{
    // Qt's own help starts with a usage line naming the executable's full
    // path; ours names the command instead.
    QString options = m_parser.helpText();
    options = options.mid(std::max<qsizetype>(0, options.indexOf(QLatin1String("Options:"))));
    return QStringLiteral("usage: quorlink %1 %2\n\n%3\n\n%4\n%5")
        .arg(m_command.name, m_command.arguments, m_command.summary, options, exitCodeText());
}

int runCommandLine(const QStringList& arguments, Streams& streams)
{
    if (arguments.isEmpty()) {
        streams.err << usageText();
        return ExitCode::Usage;
    }
    const QString& name = arguments.first();
    if (name == QLatin1String("help") || name == QLatin1String("--help") ||
        name == QLatin1String("-h")) {
        streams.out << usageText();
        return ExitCode::Success;
    }
    if (name == QLatin1String("--version") || name == QLatin1String("-v")) {
        streams.out << "quorlink " << ProgramVersion << "\n";
        return ExitCode::Success;
    }
    if (const Command* command = findCommand(name))
        return command->run(arguments.mid(1), streams);
    streams.err << "quorlink: unknown command \"" << name << "\" (quorlink --help)\n";
    return ExitCode::Usage;
}

} // namespace quorlink::cli
