// quorlink: the command-line tool. Each command lives in its own file and is
// listed in the command table (command.cpp).

#include "command.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    // Routine details (ports that do not exist, the communication error the
    // message already tells) stay quiet unless QT_LOGGING_RULES asks for them.
    QLoggingCategory::setFilterRules(
        QStringLiteral("quorlink.*.debug=false\nquorlink.*.info=false"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    quorlink::cli::Streams streams{out, err};
    const int code = quorlink::cli::runCommandLine(app.arguments().mid(1), streams);
    out.flush();
    err.flush();
    return code;
}
