#include "switchcommand.h"

#include "cardlist.h"

#include "link/protocol.h"
#include "platform/runtimeerror.h"

#include <QJsonDocument>
#include <QTextStream>

#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace quorlink::cli {

bool isTerminal(std::FILE* stream)
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

SwitchCommand::SwitchCommand(const QString& name, Streams& streams)
    : m_name(name), m_streams(streams), m_line(name),
      m_cardsOption(QStringLiteral("cards"),
                    QStringLiteral("The cards: numbers 1 to 64, ranges and commas (2-10,40), or "
                                   "all for every remote card. The management card (1) goes "
                                   "alone."),
                    QStringLiteral("LIST")),
      m_prompts(std::make_unique<TextPrompts>(streams.err)),
      m_progress(streams.err, isTerminal(stderr))
{
    m_line.parser().addOption(m_cardsOption);
    m_linkOptions.addTo(m_line.parser());
    // A message starts on a line of its own, not behind the progress.
    m_prompts->beforeMessage = [this] { m_progress.clear(); };
    if (SwitchSlot* slot = streams.slot) {
        m_progress.setSink(
            [slot](const QString& status, int value) { slot->showProgress(status, value); });
        // What this switch has said so far is shown with the question.
        m_prompts->decide = [this, slot](const QString& question, TextPrompts::Question kind) {
            m_streams.out.flush();
            m_streams.err.flush();
            return slot->ask(question, kind);
        };
    }
}

std::optional<int> SwitchCommand::parse(const QStringList& arguments, int positional,
                                        const QString& what)
{
    if (const auto done = m_line.parse(arguments, m_streams))
        return done;
    if (const auto done = m_line.requirePositional(positional, positional, what, m_streams))
        return done;
    QString problem;
    const std::optional<LinkOptions> options = m_linkOptions.read(m_line.parser(), problem);
    if (!options)
        return fail(problem);
    m_options = *options;
    if (const SwitchSlot* slot = m_streams.slot) {
        m_options.device = slot->device();
        m_options.devices = {m_options.device};
        m_options.traceFile = slot->traceFile();
    }
    if (!m_line.parser().isSet(m_cardsOption))
        return fail(QStringLiteral("which cards? (--cards LIST)"));
    const std::optional<QList<int>> cards =
        parseCardList(m_line.parser().value(m_cardsOption), problem);
    if (!cards)
        return fail(problem);
    m_cards = *cards;
    return std::nullopt;
}

std::optional<int> SwitchCommand::runSideBySide(const QStringList& arguments,
                                                const SwitchCommandFunction& run, bool answerYes)
{
    if (m_streams.slot || m_options.devices.size() < 2)
        return std::nullopt;
    return cli::runSideBySide(arguments, m_streams, run, m_options.devices, m_options.traceFile,
                              m_options.json, answerYes);
}

bool SwitchCommand::managementCard() const
{
    return m_cards == QList<int>{link::protocol::ManagementCard};
}

TimeSource& SwitchCommand::time()
{
    return m_streams.machine.time ? *m_streams.machine.time : m_realTime;
}

QString SwitchCommand::open(std::optional<int>& usageExit)
{
    try {
        m_session = makeSession(m_options, m_streams.machine, time(), *m_prompts);
    } catch (const RuntimeError& error) {
        usageExit = usageError(m_streams, m_name, error.message());
        return {};
    }
    try {
        m_session->open(m_options.comNumber);
    } catch (const RuntimeError& error) {
        m_streams.err << "quorlink " << m_name << ": " << error.message() << "\n";
        m_streams.err.flush();
        return error.message();
    }
    return {};
}

QJsonValue SwitchCommand::messageValue() const
{
    const QString& message = m_prompts->lastMessage();
    return message.isEmpty() ? QJsonValue() : QJsonValue(message);
}

void printJsonObject(Streams& streams, const QJsonObject& object)
{
    streams.out << QJsonDocument(object).toJson(QJsonDocument::Compact) << "\n";
}

} // namespace quorlink::cli
