#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QTextStream;

namespace quorlink {
class DeviceProvider;
class TimeSource;
} // namespace quorlink

namespace quorlink::cli {

class SwitchSlot;

// Exit codes shared by every command.
namespace ExitCode {
inline constexpr int Success = 0;
// The switch failed: a communication or verification error, no acknowledgement,
// a device that cannot be opened.
inline constexpr int SwitchFailed = 1;
// Wrong arguments, or a question refused.
inline constexpr int Usage = 2;
// The firmware file is missing, unreadable or rejected.
inline constexpr int FileError = 3;
} // namespace ExitCode

// The exit codes as --help and the usage text list them.
QString exitCodeText();

// What the switch commands talk through: real time and the machine's serial
// devices unless a test, running the commands in-process, puts its virtual
// clock and simulated devices here. Neither is owned.
struct Machine
{
    TimeSource* time = nullptr;
    DeviceProvider* devices = nullptr;
};

// What a command works with: its output, its errors and the machine; and,
// for one switch of several run side by side, its place among them.
struct Streams
{
    QTextStream& out;
    QTextStream& err;
    Machine machine = {};
    SwitchSlot* slot = nullptr;
};

// One command of the tool: `quorlink <name> <arguments>`.
struct Command
{
    QString name;
    QString arguments; // as shown in the usage text
    QString summary;
    // Gets the arguments after the command name; returns the exit code.
    std::function<int(const QStringList& arguments, Streams& streams)> run;
};

// Every command, in the order the usage text lists them.
const QList<Command>& commands();

// The usage text; every command with its arguments and summary.
QString usageText();

// Runs the command named by the first argument (the program name removed).
int runCommandLine(const QStringList& arguments, Streams& streams);

// Prints the one-line "quorlink <name>: <problem>" to stderr; returns ExitCode::Usage.
int usageError(Streams& streams, const QString& name, const QString& problem);

// The option parser of one command, with --help (the command's own help and
// the exit codes, on stdout) and one-line errors.
class CommandLine
{
public:
    explicit CommandLine(const QString& commandName);

    QCommandLineParser& parser() { return m_parser; }
    // Parses `arguments`; returns an exit code when the command should end
    // now (help shown, or wrong arguments), nothing to go on.
    std::optional<int> parse(const QStringList& arguments, Streams& streams);
    // The positional arguments, which must number from `least` to `most`.
    std::optional<int> requirePositional(int least, int most, const QString& what,
                                         Streams& streams);
    int fail(Streams& streams, const QString& problem) const
    {
        return usageError(streams, m_command.name, problem);
    }

private:
    QString helpText() const;

    Command m_command;
    QCommandLineParser m_parser;
    QCommandLineOption m_help;
};

// The commands themselves, one function each.
int runCheck(const QStringList& arguments, Streams& streams);
int runPorts(const QStringList& arguments, Streams& streams);
int runSimulate(const QStringList& arguments, Streams& streams);
int runVersions(const QStringList& arguments, Streams& streams);
int runReset(const QStringList& arguments, Streams& streams);
int runUpdate(const QStringList& arguments, Streams& streams);

} // namespace quorlink::cli
