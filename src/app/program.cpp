#include "program.h"

#include "dialogprompts.h"
#include "logging.h"
#include "mainform.h"

#include "link/session.h"
#include "platform/prompts.h"
#include "platform/qttimesource.h"
#include "platform/runtimeerror.h"
#include "platform/serialports.h"
#include "platform/singleinstance.h"
#include "platform/systemdirectory.h"
#include "platform/version.h"
#include "sim/simulatedport.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLoggingCategory>

#include <cstdio>
#include <cstring>

namespace quorlink::app {

namespace {

struct Options
{
    bool simulate = false;
    std::vector<ComMapping> mappings;
    QString traceFile;
};

// Parses the command line; prints usage and returns nothing on an error.
std::optional<Options> parseOptions(const QApplication& application)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Reads versions of, updates the firmware of and restarts the cards of a Varnex "
        "Quorlink switch."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        QStringLiteral("Put a simulated switch in the place of COM1 (try the program without "
                       "hardware)."));
    const QCommandLineOption com(
        QStringLiteral("com"),
        QStringLiteral("Serve COM port N (1 to 4) by DEVICE, e.g. --com 1=/dev/ttyUSB0. "
                       "Repeatable."),
        QStringLiteral("N=DEVICE"));
    const QCommandLineOption trace(
        QStringLiteral("trace"),
        QStringLiteral("Write the serial traffic to FILE: one line per write or read with time, "
                       "direction, line setting and bytes."),
        QStringLiteral("FILE"));
    parser.addOption(simulate);
    parser.addOption(com);
    parser.addOption(trace);
    parser.process(application);

    Options options;
    options.simulate = parser.isSet(simulate);
    options.traceFile = parser.value(trace);
    for (const QString& value : parser.values(com)) {
        ComMapping mapping = parseComMapping(value);
        if (!mapping.isValid()) {
            std::fprintf(stderr, "%s\n", qPrintable(mapping.error));
            return std::nullopt;
        }
        options.mappings.push_back(mapping);
    }
    return options;
}

QString markSpaceWarningText(const QString& device)
{
    return QStringLiteral("The serial device %1 does not support mark and space parity.\r\n"
                          "The cards of the switch cannot be addressed through it.")
        .arg(device);
}

} // namespace

int runProgram(int argc, char** argv, const char* programName, Qt::TimerType timerType)
{
    // Answered before the application needs a display, so that a technician
    // on a remote shell can quote the version too.
    if (argc == 2 && (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-v") == 0)) {
        std::printf("%s %s\n", programName, ProgramVersion);
        return 0;
    }
    QApplication application(argc, argv);
    // Routine details (ports that do not exist while the free ones are
    // sought) stay quiet unless QT_LOGGING_RULES asks for them.
    QLoggingCategory::setFilterRules(QStringLiteral("quorlink.*.debug=false"));
    QApplication::setApplicationName(QLatin1String(programName));
    QApplication::setOrganizationName(QStringLiteral("VarnexQuorlink"));
    QApplication::setApplicationVersion(QLatin1String(ProgramVersion));

    const std::optional<Options> options = parseOptions(application);
    if (!options)
        return 2;

    // A second copy ends before it shows anything.
    const QString folder = systemDirectory();
    const auto instance = SingleInstance::tryAcquire(QLatin1String(programName), folder);
    if (!instance)
        return 0;

    QtTimeSource time(timerType);
    DialogPrompts prompts;
    link::SessionSetup setup;
    setup.mappings = options->mappings;
    setup.traceFile = options->traceFile;
    // Said once the window exists: the port first opens in Form_Load.
    setup.markSpaceWarning = [&prompts](const QString& device) {
        prompts.beep();
        prompts.message(markSpaceWarningText(device), MessageStyle::ExclamationOk,
                        QStringLiteral("Serial Port"));
    };
    std::unique_ptr<link::Session> session;
    try {
        session = std::make_unique<link::Session>(time, prompts, setup);
    } catch (const RuntimeError& error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message()));
        return 2;
    }
    if (options->simulate)
        session->route(1, sim::builtInSwitch(time, 1));

    MainForm form({*session, folder});
    prompts.setOwner(&form);

    form.Form_Initialize();
    form.Form_Load();
    form.show();
    return QApplication::exec();
}

} // namespace quorlink::app
