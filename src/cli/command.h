#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QTextStream;

namespace quorlink::cli {

// Exit codes shared by every command.
namespace ExitCode {
inline constexpr int Success = 0;
inline constexpr int Failure = 1;
inline constexpr int Usage = 2;
inline constexpr int Rejected = 3;
} // namespace ExitCode

struct Streams
{
    QTextStream& out;
    QTextStream& err;
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

// Prints "quorlink <name>: <problem>" and the usage text to stderr.
int usageError(Streams& streams, const QString& name, const QString& problem);

// The commands themselves, one function each.
int runCheck(const QStringList& arguments, Streams& streams);

} // namespace quorlink::cli
