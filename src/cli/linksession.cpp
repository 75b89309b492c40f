#include "linksession.h"

#include "command.h"

#include "sim/simulatedport.h"

#include <QCommandLineParser>
#include <QTextStream>

namespace quorlink::cli {

LinkOptionSet::LinkOptionSet()
    : m_port(QStringLiteral("port"),
             QStringLiteral("Use COM port N (1 to 4; default 1), as the window does."),
             QStringLiteral("N"), QStringLiteral("1")),
      m_device(QStringLiteral("device"),
               QStringLiteral("Use the serial device PATH (e.g. /dev/ttyUSB0) as that COM port. "
                              "Repeated: one switch on each device, all at once."),
               QStringLiteral("PATH")),
      m_com(QStringLiteral("com"),
            QStringLiteral("Serve COM port N (1 to 4) by DEVICE, as the window's --com. "
                           "Repeatable."),
            QStringLiteral("N=DEVICE")),
      m_simulate(QStringLiteral("simulate"),
                 QStringLiteral("Talk to the built-in simulated switch instead of a device.")),
      m_trace(QStringLiteral("trace"),
              QStringLiteral("Write the serial traffic to FILE: one line per write or read."),
              QStringLiteral("FILE")),
      m_json(QStringLiteral("json"), QStringLiteral("Print one JSON object instead of text."))
{
}

void LinkOptionSet::addTo(QCommandLineParser& parser) const
{
    parser.addOptions({m_port, m_device, m_com, m_simulate, m_trace, m_json});
}

std::optional<LinkOptions> LinkOptionSet::read(const QCommandLineParser& parser,
                                               QString& problem) const
{
    LinkOptions options;
    bool numeric = false;
    options.comNumber = parser.value(m_port).toInt(&numeric);
    if (!numeric || options.comNumber < 1 || options.comNumber > 4) {
        problem = QStringLiteral("--port \"%1\": the COM number must be 1 to 4")
                      .arg(parser.value(m_port));
        return std::nullopt;
    }
    for (const QString& value : parser.values(m_com)) {
        const ComMapping mapping = parseComMapping(value);
        if (!mapping.isValid()) {
            problem = mapping.error;
            return std::nullopt;
        }
        options.mappings.push_back(mapping);
    }
    options.devices = parser.values(m_device);
    for (qsizetype i = 0; i < options.devices.size(); ++i) {
        if (options.devices[i].isEmpty()) {
            problem = QStringLiteral("--device needs a path");
            return std::nullopt;
        }
        // Two sessions on one device would take each other's replies.
        if (options.devices.indexOf(options.devices[i]) != i) {
            problem = QStringLiteral("--device \"%1\" is given twice").arg(options.devices[i]);
            return std::nullopt;
        }
    }
    options.device = parser.value(m_device);
    options.simulate = parser.isSet(m_simulate);
    if (options.simulate && !options.device.isEmpty()) {
        problem = QStringLiteral("--simulate and --device exclude each other");
        return std::nullopt;
    }
    options.traceFile = parser.value(m_trace);
    options.json = parser.isSet(m_json);
    return options;
}

TextPrompts::Answer TextPrompts::ask(const QString& question, Question kind)
{
    QString flat = question;
    flat.replace(QLatin1String("\r\n"), QLatin1String(" "));
    if (decide) {
        m_lastAnswer = decide(flat, kind);
    } else if (answerYes) {
        m_err << flat << " yes (--yes)\n";
        m_err.flush();
        m_lastAnswer = Answer::Yes;
    } else if (!onTerminal) {
        m_lastAnswer = Answer::Refused;
    } else {
        m_err << flat << " ";
        m_err.flush();
        QTextStream in(stdin);
        const QString reply = in.readLine().trimmed();
        m_lastAnswer = reply.startsWith(u'y', Qt::CaseInsensitive) ? Answer::Yes : Answer::No;
    }
    return m_lastAnswer;
}

int TextPrompts::message(const QString& text, int style, const QString& title)
{
    if ((style & MessageStyle::YesNo) != 0)
        return ask(text, Question::Warning) == Answer::Yes ? MessageResult::Yes : MessageResult::No;
    if (beforeMessage)
        beforeMessage();
    m_lastMessage = text;
    m_lastMessage.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_err << title << ": " << m_lastMessage << "\n";
    m_err.flush();
    return MessageResult::Ok;
}

std::unique_ptr<link::Session> makeSession(const LinkOptions& options, const Machine& machine,
                                           TimeSource& time, Prompts& prompts,
                                           MarkSpaceWarning markSpaceWarning)
{
    link::SessionSetup setup;
    setup.devices = machine.devices;
    setup.mappings = options.mappings;
    if (!options.device.isEmpty())
        setup.mappings.push_back({options.comNumber, options.device, {}});
    setup.markSpaceWarning = std::move(markSpaceWarning);
    setup.traceFile = options.traceFile;
    auto session = std::make_unique<link::Session>(time, prompts, setup);
    if (options.simulate)
        session->route(options.comNumber, sim::builtInSwitch(time, options.comNumber));
    return session;
}

} // namespace quorlink::cli
