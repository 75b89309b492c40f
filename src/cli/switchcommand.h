#pragma once

#include "command.h"
#include "linksession.h"
#include "severalswitches.h"
#include "textview.h"

#include "platform/qttimesource.h"

#include <QCommandLineOption>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>

#include <cstdio>
#include <memory>
#include <optional>

namespace quorlink::cli {

// What the commands that talk to a switch (versions, reset, update) share:
// their options (--cards LIST and the switch options), the session on the
// chosen port, the prompts and the text view with its progress line, which
// is drawn on standard error only when that is a terminal.
class SwitchCommand
{
public:
    SwitchCommand(const QString& name, Streams& streams);

    QCommandLineParser& parser() { return m_line.parser(); }
    // Parses the arguments, which must hold exactly `positional` positional
    // ones (`what` names them); returns an exit code when the command should
    // end now.
    std::optional<int> parse(const QStringList& arguments, int positional,
                             const QString& what = {});
    int fail(const QString& problem) const { return m_line.fail(m_streams, problem); }
    // With several --device, runs `run` (this command) once per device side
    // by side and gives its exit code; nothing with one switch.
    std::optional<int> runSideBySide(const QStringList& arguments, const SwitchCommandFunction& run,
                                     bool answerYes = false);

    const LinkOptions& options() const { return m_options; }
    bool json() const { return m_options.json; }
    const QList<int>& cards() const { return m_cards; }
    bool managementCard() const;

    // Builds the session and opens its port. A trace file that cannot be
    // written ends the command with the usage exit code (`usageExit` set);
    // a device that cannot be opened gives its message, and the command
    // reports it as a failure of the switch. Empty on success.
    QString open(std::optional<int>& usageExit);

    link::Session& session() { return *m_session; }
    link::Link& link() { return m_session->link(); }
    // The machine's clock, else real time (the precise timer).
    TimeSource& time();
    TextPrompts& prompts() { return *m_prompts; }
    TextView& view() { return m_view; }
    ProgressLine& progress() { return m_progress; }

    // The message of the run for --json: the last one shown, else null.
    QJsonValue messageValue() const;

private:
    QString m_name;
    Streams& m_streams;
    CommandLine m_line;
    LinkOptionSet m_linkOptions;
    QCommandLineOption m_cardsOption;
    LinkOptions m_options;
    QList<int> m_cards;
    std::unique_ptr<TextPrompts> m_prompts;
    ProgressLine m_progress;
    TextView m_view{m_progress};
    QtTimeSource m_realTime{Qt::PreciseTimer};
    std::unique_ptr<link::Session> m_session;
};

// Whether `stream` (stdin, stderr) is a terminal a person watches.
bool isTerminal(std::FILE* stream);

// Prints one JSON object as a single line on standard output.
void printJsonObject(Streams& streams, const QJsonObject& object);

} // namespace quorlink::cli
