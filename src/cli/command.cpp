#include "command.h"

#include <QTextStream>

namespace quorlink::cli {

const QList<Command>& commands()
{
    static const QList<Command> table = {
        {QStringLiteral("check"), QStringLiteral("FILE [--json]"),
         QStringLiteral("read and check a firmware file as Start does, without a switch "
                        "(management card rules when characters 5-7 of the name are "
                        "\"mgt\")"),
         runCheck},
    };
    return table;
}

QString usageText()
{
    QString text = QStringLiteral("usage: quorlink <command> [arguments]\n\ncommands:\n");
    for (const Command& command : commands()) {
        text += QStringLiteral("  %1 %2\n      %3\n")
                    .arg(command.name, command.arguments, command.summary);
    }
    text += QStringLiteral("\nexit codes: 0 success, 2 wrong arguments, 3 file rejected\n");
    return text;
}

int usageError(Streams& streams, const QString& name, const QString& problem)
{
    streams.err << "quorlink " << name << ": " << problem << "\n\n" << usageText();
    streams.err.flush();
    return ExitCode::Usage;
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
    for (const Command& command : commands()) {
        if (command.name == name)
            return command.run(arguments.mid(1), streams);
    }
    streams.err << "quorlink: unknown command \"" << name << "\"\n\n" << usageText();
    return ExitCode::Usage;
}

} // namespace quorlink::cli
