#pragma once

#include "link/session.h"
#include "platform/prompts.h"
#include "platform/serialports.h"

#include <QCommandLineOption>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QCommandLineParser;
class QTextStream;

namespace quorlink::cli {

// Where the commands that talk to a switch find it.
struct LinkOptions
{
    int comNumber = 1;                // --port N
    QString device;                   // --device PATH: serves COM comNumber
    QStringList devices;              // every --device: several run side by side
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
    // What a question is about; switches run side by side share one answer
    // per kind, the warnings coming before the confirmation.
    enum class Question
    {
        Warning,     // a Yes/No box of the link (the OSD language)
        Confirmation // the update's own confirmation
    };

    explicit TextPrompts(QTextStream& err) : m_err(err) {}
    void beep() override {}
    int message(const QString& text, int style, const QString& title) override;
    QString openFileName(const QString&, const QString&) override { return {}; }

    Answer ask(const QString& question, Question kind = Question::Confirmation);
    // The answer to the last question.
    Answer lastAnswer() const { return m_lastAnswer; }
    bool answerYes = false;  // --yes
    bool onTerminal = false; // standard input is a terminal to ask on

    // Answers in place of --yes and the terminal when set (a switch of
    // several, whose questions are decided once for all).
    std::function<Answer(const QString& question, Question kind)> decide;
    // Runs before a message is written (a progress line makes room).
    std::function<void()> beforeMessage;
    // The text of the last message, lines ended by "\n"; empty before the first.
    const QString& lastMessage() const { return m_lastMessage; }

private:
    QTextStream& m_err;
    QString m_lastMessage;
    Answer m_lastAnswer = Answer::Refused;
};

struct Machine;

// The session the switch options describe, on `time`: the devices (the
// machine's or the given stand-in, mapped, the built-in switch under
// --simulate, traced on request), the port still closed. Throws RuntimeError
// when the trace file cannot be written.
std::unique_ptr<link::Session> makeSession(const LinkOptions& options, const Machine& machine,
                                           TimeSource& time, Prompts& prompts,
                                           MarkSpaceWarning markSpaceWarning = {});

} // namespace quorlink::cli
