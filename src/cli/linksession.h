#pragma once

#include "link/link.h"
#include "platform/commport.h"
#include "platform/prompts.h"
#include "platform/qttimesource.h"
#include "platform/serialports.h"
#include "platform/serialtrace.h"

#include <QCommandLineOption>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QCommandLineParser;
class QTextStream;

namespace quorlink::sim {
class SimulatedSwitch;
class SimulatedDeviceProvider;
} // namespace quorlink::sim

namespace quorlink::cli {

// Where the commands that talk to a switch find it.
struct LinkOptions
{
    int comNumber = 1;                // --port N
    QString device;                   // --device PATH: serves COM comNumber
    std::vector<ComMapping> mappings; // --com N=DEVICE
    bool simulate = false;            // --simulate: the built-in switch on COM comNumber
    QString traceFile;                // --trace FILE
    bool json = false;                // --json
};

// The options every switch command shares: --port, --device, --com,
// --simulate, --trace and --json.
class LinkOptionSet
{
public:
    LinkOptionSet();
    void addTo(QCommandLineParser& parser) const;
    // Nothing, with `problem` set, when the values do not fit.
    std::optional<LinkOptions> read(const QCommandLineParser& parser, QString& problem) const;

private:
    QCommandLineOption m_port;
    QCommandLineOption m_device;
    QCommandLineOption m_com;
    QCommandLineOption m_simulate;
    QCommandLineOption m_trace;
    QCommandLineOption m_json;
};

// Messages of the link on a terminal: the text (and title) on the error
// stream. A Yes/No question is answered by --yes or by the person at the
// terminal; without either it is refused, so that a script never changes
// cards it was not told to.
class TextPrompts final : public Prompts
{
public:
    enum class Answer
    {
        Yes,
        No,
        Refused // no terminal to ask and no --yes
    };

    explicit TextPrompts(QTextStream& err) : m_err(err) {}
    void beep() override {}
    int message(const QString& text, int style, const QString& title) override;
    QString openFileName(const QString&, const QString&) override { return {}; }

    Answer ask(const QString& question);
    // The answer to the last question.
    Answer lastAnswer() const { return m_lastAnswer; }
    bool answerYes = false;  // --yes
    bool onTerminal = false; // standard input is a terminal to ask on

    // Runs before a message is written (a progress line makes room).
    std::function<void()> beforeMessage;
    // The text of the last message, lines ended by "\n"; empty before the first.
    const QString& lastMessage() const { return m_lastMessage; }

private:
    QTextStream& m_err;
    QString m_lastMessage;
    Answer m_lastAnswer = Answer::Refused;
};

// Everything a command needs to talk to the switch, built from the options:
// the devices (real, mapped or simulated, traced on request), the port, the
// two link timers in real time and the link itself.
class LinkSession
{
public:
    // Throws RuntimeError when the trace file cannot be written.
    LinkSession(const LinkOptions& options, Prompts& prompts);
    ~LinkSession();
    LinkSession(const LinkSession&) = delete;
    LinkSession& operator=(const LinkSession&) = delete;

    // Opens the chosen port with the link's data setting; throws RuntimeError
    // with a message naming the device when it cannot be opened.
    void open();

    link::Link& link() { return *m_link; }
    CommPort& port() { return *m_port; }
    TimeSource& time() { return m_time; }
    // The built-in switch under --simulate, else null.
    sim::SimulatedSwitch* simulatedSwitch() { return m_switch.get(); }
    // Devices found to drop mark/space parity so far.
    bool markSpaceLost(const QString& device) const { return m_markSpaceLost.contains(device); }

private:
    LinkOptions m_options;
    QtTimeSource m_time{Qt::PreciseTimer};
    SystemDeviceProvider m_systemDevices;
    RoutingDeviceProvider m_devices{m_systemDevices};
    std::unique_ptr<sim::SimulatedSwitch> m_switch;
    std::unique_ptr<sim::SimulatedDeviceProvider> m_simulatedDevices;
    std::unique_ptr<SerialTraceLog> m_traceLog;
    std::unique_ptr<TracingDeviceProvider> m_tracedDevices;
    std::unique_ptr<DeviceProvider> m_hookedDevices;
    std::unique_ptr<CommPort> m_port;
    std::unique_ptr<LinkTimer> m_timer1;
    std::unique_ptr<LinkTimer> m_timer2;
    std::unique_ptr<link::Link> m_link;
    QSet<QString> m_markSpaceLost;
};

struct Streams;

// Called with every session as it ends, before its switch and port go: lets a
// test see what the built-in simulated switch received. Empty by default.
void setSessionEndHook(std::function<void(LinkSession&)> hook);

// Called with the devices of every session as it begins; the provider it
// returns stands between them and the port: lets a test present the built-in
// switch as a serial line. Empty by default.
void setSessionDevicesHook(
    std::function<std::unique_ptr<DeviceProvider>(DeviceProvider& devices)> hook);

// Builds the session of command `name`; on failure (a trace file that cannot
// be written) prints the reason and returns the usage exit code.
std::optional<int> openSession(const LinkOptions& options, Prompts& prompts,
                               std::unique_ptr<LinkSession>& session, Streams& streams,
                               const QString& name);

} // namespace quorlink::cli
