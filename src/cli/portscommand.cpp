#include "portscommand.h"

#include "command.h"
#include "linksession.h"

#include "platform/adapterlatency.h"
#include "platform/runtimeerror.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace quorlink::cli {

namespace {

constexpr int PortCount = 4;

} // namespace

QList<link::PortDiagnosis> diagnosePorts(link::Link& link, const link::ProbeChecks& checks)
{
    QList<link::PortDiagnosis> ports;
    for (int com = 1; com <= PortCount; ++com)
        ports.append(link::diagnosePort(link, com, checks));
    return ports;
}

void printPortsJson(Streams& streams, const QList<link::PortDiagnosis>& ports)
{
    QJsonArray entries;
    for (const link::PortDiagnosis& port : ports) {
        const std::optional<int> latency = adapterLatencyMs(port.device);
        const QString advice = slowAdapterAdvice(port.device, latency);
        entries.append(QJsonObject{
            {QStringLiteral("com"), port.comNumber},
            {QStringLiteral("device"), port.device},
            {QStringLiteral("state"), link::portStateName(port.state)},
            {QStringLiteral("reason"), port.busy() ? QJsonValue(port.reason) : QJsonValue()},
            {QStringLiteral("latency"), latency ? QJsonValue(*latency) : QJsonValue()},
            {QStringLiteral("advice"), advice.isEmpty() ? QJsonValue() : QJsonValue(advice)},
        });
    }
    streams.out << QJsonDocument(QJsonObject{{QStringLiteral("ports"), entries}})
                       .toJson(QJsonDocument::Compact)
                << "\n";
}

void printPortsText(Streams& streams, const QList<link::PortDiagnosis>& ports)
{
    qsizetype width = 0;
    for (const link::PortDiagnosis& port : ports)
        width = std::max(width, port.device.size());
    for (const link::PortDiagnosis& port : ports) {
        streams.out << "COM" << port.comNumber << "  " << port.device.leftJustified(width) << "  "
                    << link::portStateName(port.state);
        if (port.busy())
            streams.out << ": " << port.reason;
        const std::optional<int> latency = adapterLatencyMs(port.device);
        if (latency)
            streams.out << " (adapter latency " << *latency << " ms)";
        streams.out << "\n";
        if (const QString advice = slowAdapterAdvice(port.device, latency); !advice.isEmpty())
            streams.out << "      " << advice << "\n";
    }
}

int runPorts(const QStringList& arguments, Streams& streams)
{
    CommandLine line(QStringLiteral("ports"));
    const LinkOptionSet linkOptions;
    linkOptions.addTo(line.parser());
    if (const auto done = line.parse(arguments, streams))
        return *done;
    if (const auto done = line.requirePositional(0, 0, {}, streams))
        return *done;
    QString problem;
    const std::optional<LinkOptions> options = linkOptions.read(line.parser(), problem);
    if (!options)
        return line.fail(streams, problem);

    TextPrompts prompts(streams.err);
    std::unique_ptr<LinkSession> session;
    if (const auto done = openSession(*options, prompts, session, streams, QStringLiteral("ports")))
        return *done;
    try {
        link::ProbeChecks checks;
        checks.markSpaceLost = [&session](const QString& device) {
            return session->markSpaceLost(device);
        };
        const QList<link::PortDiagnosis> ports = diagnosePorts(session->link(), checks);
        if (options->json)
            printPortsJson(streams, ports);
        else
            printPortsText(streams, ports);
    } catch (const RuntimeError& error) {
        streams.err << "quorlink ports: " << error.message() << "\n";
        return ExitCode::SwitchFailed;
    }
    return ExitCode::Success;
}

} // namespace quorlink::cli
