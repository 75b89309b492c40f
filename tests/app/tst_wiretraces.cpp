// The window's whole conversation with the switch for a set of everyday
// choices, against a stored record: every byte, its parity and its virtual
// time, and every message the user is shown. A change to anything the wire
// carries shows here as the first line that differs.
//
// QUORLINK_RECORD_TRACES=1 rewrites the record from the code as it stands;
// do that only for an intended change of the wire, and read the diff.

#include "operationfixture.h"

using namespace quorlink;
namespace ToolbarButton = app::ToolbarButton;

namespace {

namespace maker = firmware::maker;

const QString NewRemote = QStringLiteral("QLREM ver1.08 US");
const QString NewManager = QStringLiteral("QLMGR ver2.32 US");

// The wire entries as lines: a run of bytes in one direction under one parity
// at an even pace is one line, "@start dir+parity bytes /step".
QStringList wireLines(const sim::SwitchTrace& trace, std::int64_t origin)
{
    QStringList lines;
    const auto& entries = trace.entries();
    for (std::size_t first = 0; first < entries.size();) {
        const sim::TraceEntry& head = entries[first];
        const auto sameRun = [&head](const sim::TraceEntry& entry) {
            return entry.direction == head.direction && entry.parity == head.parity;
        };
        std::size_t end = first + 1;
        std::int64_t step = 0;
        if (end < entries.size() && sameRun(entries[end])) {
            step = entries[end].time - head.time;
            while (end < entries.size() && sameRun(entries[end]) &&
                   entries[end].time - entries[end - 1].time == step)
                ++end;
        }
        QString line = QStringLiteral("@%1 %2").arg(head.time - origin).arg(
            head.direction == sim::Direction::PcToSwitch
                ? QStringLiteral("->") + QLatin1Char("neoms"[static_cast<int>(head.parity)])
                : QStringLiteral("<-"));
        for (std::size_t i = first; i < end; ++i)
            line += QStringLiteral(" %1").arg(entries[i].value, 2, 16, QLatin1Char('0'));
        if (end - first > 1)
            line += QStringLiteral(" /%1").arg(step);
        lines << line;
        first = end;
    }
    return lines;
}

struct Scenario
{
    QString name;
    // Cards as the user clicks them; 0 stands for Select All.
    QList<int> cards;
    int button = ToolbarButton::FirmwareVersion;
    std::function<void(sim::SimulatedSwitch&)> setUp;
};

class TracedWindow : public test::WindowFixture
{
public:
    QTemporaryDir files;

    TracedWindow()
    {
        simulatedSwitch.card(1).setFirmwareVersion(QStringLiteral("QLMGR ver2.31 US"));
        for (int card = 2; card <= 64; ++card) {
            simulatedSwitch.card(card)
                .setFirmwareVersion(QStringLiteral("QLREM ver1.%1 US").arg(card % 8))
                .setHardwareVersion(QStringLiteral("HW%1").arg(card));
        }
    }

    QStringList run(const Scenario& scenario)
    {
        if (scenario.setUp)
            scenario.setUp(simulatedSwitch);
        if (scenario.button == ToolbarButton::Reset)
            form->controls().mnuAdvanced->trigger();
        for (const int card : scenario.cards) {
            if (card == 0) {
                QTest::mouseClick(form->controls().asxToolbar1->button(ToolbarButton::SelectAll),
                                  Qt::LeftButton);
            } else {
                const auto [index, row] = placeOf(card);
                click(index, row);
            }
        }
        if (scenario.button == ToolbarButton::Start) {
            prompts.scriptFile(writeFile(scenario.cards == QList<int>{1}));
            form->controls().mnuOpen->trigger();
        }
        simulatedSwitch.trace().clear();
        prompts.clear();
        const std::int64_t origin = clock.nowMicroseconds();
        {
            const test::VersionDialogAnswer confirm(true);
            QTest::mouseClick(form->controls().asxToolbar1->button(scenario.button),
                              Qt::LeftButton);
        }
        QStringList lines = wireLines(simulatedSwitch.trace(), origin);
        for (const auto& entry : prompts.entries()) {
            if (entry.kind == test::RecordingPrompts::Entry::Message)
                lines << QStringLiteral("message \"%1\" \"%2\" %3")
                             .arg(entry.title, QString(entry.text)
                                                      .replace(files.path(), "FILES")
                                                      .replace("\r\n", "|"))
                             .arg(entry.style);
            else if (entry.kind == test::RecordingPrompts::Entry::Beep)
                lines << QStringLiteral("beep");
        }
        return lines;
    }

private:
    QString writeFile(bool manager)
    {
        maker::FirmwareMaker fileMaker(41);
        const QByteArray contents =
            manager ? fileMaker.managerFile(maker::makeImage(0x2000, 120, NewManager, 41),
                                            maker::makeImage(0x3000, 60, {}, 42))
                    : fileMaker.remoteFile(maker::makeImage(0x2000, 160, NewRemote, 43));
        const QString path = files.filePath(manager ? QStringLiteral("qdx_mgt232_e.hex")
                                                    : QStringLiteral("qdx_rem108_e.hex"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
};

QList<Scenario> scenarios()
{
    using Switch = sim::SimulatedSwitch;
    return {
        {"firmware versions of all cards, card 20 silent", {0}, ToolbarButton::FirmwareVersion,
         [](Switch& s) { s.card(20).setSilent(true); }},
        {"firmware versions of cards 5 and 40, card 40 lost", {5, 40},
         ToolbarButton::FirmwareVersion, [](Switch& s) { s.card(40).setNotResponding(true); }},
        {"hardware version of the management card", {1}, ToolbarButton::HardwareVersion, {}},
        {"hardware versions of cards 2, 33 and 64", {2, 33, 64}, ToolbarButton::HardwareVersion,
         {}},
        {"silent management card", {1}, ToolbarButton::FirmwareVersion,
         [](Switch& s) { s.card(1).setSilent(true); }},
        {"reset of card 17", {17}, ToolbarButton::Reset, {}},
        {"reset of the management card", {1}, ToolbarButton::Reset, {}},
        {"reset of all cards", {0}, ToolbarButton::Reset, {}},
        {"reset of cards 3 and 40", {3, 40}, ToolbarButton::Reset, {}},
        {"reset of a silent card", {9}, ToolbarButton::Reset,
         [](Switch& s) { s.card(9).setSilent(true); }},
        {"update of cards 3, 17 and 40", {3, 17, 40}, ToolbarButton::Start, {}},
        {"update of the management card", {1}, ToolbarButton::Start, {}},
        {"update with records refused and resent", {6, 7}, ToolbarButton::Start,
         [](Switch& s) {
             s.card(6).scriptRecordAnswers(4, {0x15, sim::NoAnswer});
             s.card(7).scriptRecordAnswers(9, {0x15});
         }},
        {"update whose card gives up", {12}, ToolbarButton::Start,
         [](Switch& s) {
             s.card(12).scriptRecordAnswers(3, {0x15, 0x15, 0x15, 0x15, 0x15, 0x15});
         }},
        {"update whose card is not ready", {21}, ToolbarButton::Start,
         [](Switch& s) { s.card(21).scriptReadyReplies({QByteArray()}); }},
    };
}

} // namespace

class WireTracesTest : public QObject
{
    Q_OBJECT

private slots:
    void theWireCarriesWhatItCarriedBefore()
    {
        QStringList actual;
        for (const Scenario& scenario : scenarios()) {
            TracedWindow window;
            actual << QStringLiteral("== ") + scenario.name << window.run(scenario);
        }
        QFile record(QStringLiteral(QUORLINK_WIRE_TRACES));
        if (qEnvironmentVariableIsSet("QUORLINK_RECORD_TRACES")) {
            QVERIFY(record.open(QIODevice::WriteOnly | QIODevice::Truncate));
            record.write(actual.join(QLatin1Char('\n')).toUtf8() + '\n');
            return;
        }
        QVERIFY2(record.open(QIODevice::ReadOnly), qPrintable(QStringLiteral(QUORLINK_WIRE_TRACES)));
        const QStringList expected =
            QString::fromUtf8(record.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QString scenario;
        for (qsizetype line = 0; line < std::max(actual.size(), expected.size()); ++line) {
            const QString got = actual.value(line, QStringLiteral("(nothing)"));
            const QString want = expected.value(line, QStringLiteral("(nothing)"));
            if (want.startsWith(QLatin1String("== ")))
                scenario = want;
            if (got != want)
                QFAIL(qPrintable(QStringLiteral("%1, line %2:\n   got  %3\n   want %4")
                                     .arg(scenario)
                                     .arg(line + 1)
                                     .arg(got, want)));
        }
    }
};

QTEST_MAIN(WireTracesTest)
#include "tst_wiretraces.moc"
