#include "cardlist.h"
#include "command.h"

#include "link/protocol.h"
#include "platform/qttimesource.h"
#include "platform/runtimeerror.h"
#include "sim/faultinjector.h"
#include "sim/ptyswitch.h"
#include "sim/simulatedswitch.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QTextStream>

#include <algorithm>
#include <csignal>

#include <sys/socket.h>
#include <unistd.h>

namespace quorlink::cli {

namespace {

namespace protocol = link::protocol;

// The options that shape the simulated switch.
struct SwitchOptions
{
    QList<int> remoteCards;
    QList<int> silent;
    QList<int> notResponding;
    int refuseRecord = -1;
    int abortRecord = -1;
    int delayMs = -1;
    bool instant = false;
    QString managerVersion;
    QString remoteVersion;
    QString recordFile;
    int faultSeed = -1;
    int adapterLatencyMs = 0;
};

// The chance of each fault at each opportunity with --faults: a remote
// update of a few dozen records meets a handful.
constexpr double FaultChance = 0.02;

// Every kind of fault but the vanishing device: a pseudo-terminal stays.
void injectFaults(sim::FaultInjector& faults)
{
    for (int kind = 0; kind < sim::FaultKindCount; ++kind) {
        const auto fault = static_cast<sim::Fault>(kind);
        if (fault != sim::Fault::DeviceVanished)
            faults.setChance(fault, FaultChance);
    }
}

// A refused record is refused on every attempt: the download must give up.
constexpr int RefusalsForEver = 1000;

void shape(sim::SimulatedSwitch& simulatedSwitch, const SwitchOptions& options)
{
    simulatedSwitch.setRemoteCardsPresent(options.remoteCards);
    simulatedSwitch.setWireTimeModelled(!options.instant);
    for (int number = protocol::ManagementCard; number <= protocol::LastRemoteCard; ++number) {
        sim::SimulatedCard& card = simulatedSwitch.card(number);
        card.setSilent(options.silent.contains(number));
        card.setNotResponding(options.notResponding.contains(number));
        if (options.delayMs >= 0 || options.instant)
            card.setReplyDelay(std::max(options.delayMs, 0));
        if (options.refuseRecord >= 0)
            card.scriptRecordAnswers(options.refuseRecord,
                                     QList<sim::Answer>(RefusalsForEver, protocol::RecordRefused));
        if (options.abortRecord >= 0)
            card.scriptRecordAnswers(options.abortRecord, {protocol::DownloadAborted});
    }
    if (!options.managerVersion.isEmpty())
        simulatedSwitch.card(protocol::ManagementCard).setFirmwareVersion(options.managerVersion);
    if (!options.remoteVersion.isEmpty()) {
        for (int number = protocol::FirstRemoteCard; number <= protocol::LastRemoteCard; ++number)
            simulatedSwitch.card(number).setFirmwareVersion(options.remoteVersion);
    }
}

// What each card went through, for tests and for the curious:
// {"cards": [{"card": int, "version": string, "images": [[record, ...]], "resets": int}]}
// listing only cards that received an image or a reset.
QJsonObject received(const sim::SimulatedSwitch& simulatedSwitch, const sim::FaultInjector& faults)
{
    QJsonArray cards;
    for (int number = protocol::ManagementCard; number <= protocol::LastRemoteCard; ++number) {
        const sim::SimulatedCard& card = simulatedSwitch.card(number);
        if (card.images().isEmpty() && card.resetTimes().isEmpty())
            continue;
        QJsonArray images;
        for (const QStringList& image : card.images())
            images.append(QJsonArray::fromStringList(image));
        cards.append(QJsonObject{{QStringLiteral("card"), number},
                                 {QStringLiteral("version"), card.firmwareVersion()},
                                 {QStringLiteral("images"), images},
                                 {QStringLiteral("resets"), card.resetTimes().size()}});
    }
    QJsonObject injected;
    for (int kind = 0; kind < sim::FaultKindCount; ++kind) {
        const auto fault = static_cast<sim::Fault>(kind);
        injected.insert(sim::FaultInjector::name(fault), faults.count(fault));
    }
    QJsonArray doubtful;
    for (const int number : simulatedSwitch.doubtfulCards())
        doubtful.append(number);
    return {{QStringLiteral("cards"), cards},
            {QStringLiteral("faults"), injected},
            {QStringLiteral("doubtful"), doubtful}};
}

void report(Streams& streams, const sim::SimulatedSwitch& simulatedSwitch,
            const sim::FaultInjector& faults, const QString& recordFile)
{
    const QJsonObject cards = received(simulatedSwitch, faults);
    for (const QJsonValue& card : cards[QStringLiteral("cards")].toArray()) {
        streams.out << "card " << card[QStringLiteral("card")].toInt() << ": "
                    << card[QStringLiteral("images")].toArray().size() << " image(s), "
                    << card[QStringLiteral("resets")].toInt() << " reset(s), version \""
                    << card[QStringLiteral("version")].toString() << "\"\n";
    }
    streams.out.flush();
    if (recordFile.isEmpty())
        return;
    QFile file(recordFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(QJsonDocument(cards).toJson(QJsonDocument::Compact)) < 0)
        streams.err << "quorlink simulate: cannot write " << recordFile << ": "
                    << file.errorString() << "\n";
}

// SIGINT and SIGTERM end the event loop through a socket the handler writes
// to: a signal handler may do little more than write().
int signalSocket[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(signalSocket[0], &byte, 1);
}

class QuitOnSignal
{
public:
    QuitOnSignal()
    {
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalSocket) != 0)
            throw RuntimeError(RuntimeError::DeviceIo, QStringLiteral("socketpair failed"));
        m_notifier = std::make_unique<QSocketNotifier>(signalSocket[1], QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [] {
            char byte = 0;
            [[maybe_unused]] const ssize_t ignored = ::read(signalSocket[1], &byte, 1);
            QCoreApplication::quit();
        });
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }
    ~QuitOnSignal()
    {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        m_notifier.reset();
        ::close(signalSocket[0]);
        ::close(signalSocket[1]);
    }
    QuitOnSignal(const QuitOnSignal&) = delete;
    QuitOnSignal& operator=(const QuitOnSignal&) = delete;

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};

struct SimulateOptions
{
    QCommandLineOption pty{QStringLiteral("pty"),
                           QStringLiteral("Put the switch behind a pseudo-terminal (required).")};
    QCommandLineOption cards{QStringLiteral("cards"),
                             QStringLiteral("The cards present (default all remote cards; the "
                                            "management card is always there)."),
                             QStringLiteral("LIST"), QStringLiteral("all")};
    QCommandLineOption silent{QStringLiteral("silent"), QStringLiteral("Cards that never answer."),
                              QStringLiteral("LIST")};
    QCommandLineOption notResponding{
        QStringLiteral("not-responding"),
        QStringLiteral("Cards the switch reports as \"Not responding\"."), QStringLiteral("LIST")};
    QCommandLineOption refuseRecord{
        QStringLiteral("refuse-record"),
        QStringLiteral("Every card refuses record N (0 = the first) on every attempt."),
        QStringLiteral("N")};
    QCommandLineOption abortRecord{QStringLiteral("abort-record"),
                                   QStringLiteral("Every card aborts the download at record N."),
                                   QStringLiteral("N")};
    QCommandLineOption delay{QStringLiteral("delay"),
                             QStringLiteral("Every card answers MS milliseconds after a request."),
                             QStringLiteral("MS")};
    QCommandLineOption instant{
        QStringLiteral("instant"),
        QStringLiteral("No wire time and no reply delay (unless --delay): every answer at once, "
                       "for benchmarks.")};
    QCommandLineOption managerVersion{QStringLiteral("manager-version"),
                                      QStringLiteral("The management card's firmware version."),
                                      QStringLiteral("TEXT")};
    QCommandLineOption remoteVersion{QStringLiteral("remote-version"),
                                     QStringLiteral("The remote cards' firmware version."),
                                     QStringLiteral("TEXT")};
    QCommandLineOption record{
        QStringLiteral("record"),
        QStringLiteral("On exit, write what each card received to FILE as JSON: {\"cards\": "
                       "[{\"card\", \"version\", \"images\": [[record, ...]], \"resets\"}], "
                       "\"faults\": {kind: count}, \"doubtful\": [cards whose answers a fault "
                       "may have changed]}."),
        QStringLiteral("FILE")};
    QCommandLineOption faults{
        QStringLiteral("faults"),
        QStringLiteral("Random faults from SEED: noise, dropped, duplicated, split and late "
                       "replies, another card answering, false acknowledgements."),
        QStringLiteral("SEED")};
    QCommandLineOption adapterLatency{
        QStringLiteral("adapter-latency"),
        QStringLiteral("Play a USB-to-serial adapter whose latency timer is MS milliseconds: "
                       "the cards' bytes reach the PC only when it runs out (16 is common)."),
        QStringLiteral("MS")};

    void addTo(QCommandLineParser& parser) const
    {
        parser.addOptions({pty, cards, silent, notResponding, refuseRecord, abortRecord, delay,
                           instant, managerVersion, remoteVersion, record, faults,
                           adapterLatency});
    }
};

std::optional<QList<int>> listOption(const QCommandLineParser& parser,
                                     const QCommandLineOption& option, QString& problem)
{
    if (!parser.isSet(option))
        return QList<int>{};
    return parseCardList(parser.value(option), problem, CardMix::Both);
}

std::optional<int> numberOption(const QCommandLineParser& parser, const QCommandLineOption& option,
                                QString& problem)
{
    if (!parser.isSet(option))
        return -1;
    bool numeric = false;
    const int value = parser.value(option).toInt(&numeric);
    if (!numeric || value < 0) {
        problem = QStringLiteral("--%1 \"%2\": a number from 0 up")
                      .arg(option.names().first(), parser.value(option));
        return std::nullopt;
    }
    return value;
}

std::optional<SwitchOptions> readSwitchOptions(const QCommandLineParser& parser,
                                               const SimulateOptions& names, QString& problem)
{
    SwitchOptions options;
    const auto cards = parseCardList(parser.value(names.cards), problem, CardMix::Both);
    const auto silent = cards ? listOption(parser, names.silent, problem) : std::nullopt;
    const auto notResponding =
        silent ? listOption(parser, names.notResponding, problem) : std::nullopt;
    const auto refuse =
        notResponding ? numberOption(parser, names.refuseRecord, problem) : std::nullopt;
    const auto abort = refuse ? numberOption(parser, names.abortRecord, problem) : std::nullopt;
    const auto delay = abort ? numberOption(parser, names.delay, problem) : std::nullopt;
    const auto faultSeed = delay ? numberOption(parser, names.faults, problem) : std::nullopt;
    const auto latency =
        faultSeed ? numberOption(parser, names.adapterLatency, problem) : std::nullopt;
    if (!latency)
        return std::nullopt;
    // The management card is always there: "--cards 1" is the management
    // card alone, "--cards 1-8" the same switch as "--cards 2-8".
    options.remoteCards = *cards;
    options.remoteCards.removeAll(protocol::ManagementCard);
    options.silent = *silent;
    options.notResponding = *notResponding;
    options.refuseRecord = *refuse;
    options.abortRecord = *abort;
    options.delayMs = *delay;
    options.instant = parser.isSet(names.instant);
    options.managerVersion = parser.value(names.managerVersion);
    options.remoteVersion = parser.value(names.remoteVersion);
    options.recordFile = parser.value(names.record);
    options.faultSeed = *faultSeed;
    options.adapterLatencyMs = std::max(*latency, 0);
    return options;
}

} // namespace

int runSimulate(const QStringList& arguments, Streams& streams)
{
    CommandLine line(QStringLiteral("simulate"));
    const SimulateOptions names;
    names.addTo(line.parser());
    if (const auto done = line.parse(arguments, streams))
        return *done;
    if (const auto done = line.requirePositional(0, 0, {}, streams))
        return *done;
    if (!line.parser().isSet(names.pty))
        return line.fail(streams, QStringLiteral("--pty is the only place for the switch so far"));
    QString problem;
    const std::optional<SwitchOptions> options = readSwitchOptions(line.parser(), names, problem);
    if (!options)
        return line.fail(streams, problem);

    QtTimeSource time(Qt::PreciseTimer);
    const auto simulatedSwitch = sim::SimulatedSwitch::standard(time);
    shape(*simulatedSwitch, *options);
    sim::FaultInjector faults(static_cast<std::uint32_t>(std::max(options->faultSeed, 0)));
    if (options->faultSeed >= 0) {
        injectFaults(faults);
        simulatedSwitch->setFaultInjector(&faults);
    }
    try {
        QuitOnSignal quitOnSignal;
        sim::PtySwitch pty(*simulatedSwitch);
        pty.setAdapterLatencyMs(options->adapterLatencyMs);
        // The path first, alone on its line, at once: whoever started us waits for it.
        streams.out << pty.slavePath() << "\n";
        streams.out.flush();
        QCoreApplication::exec();
    } catch (const RuntimeError& error) {
        streams.err << "quorlink simulate: " << error.message() << "\n";
        return ExitCode::SwitchFailed;
    }
    simulatedSwitch->setFaultInjector(nullptr);
    report(streams, *simulatedSwitch, faults, options->recordFile);
    return ExitCode::Success;
}

} // namespace quorlink::cli
