#include "linkrig.h"
#include "recordingevents.h"

#include "link/versionrun.h"

using namespace quorlink;
using link::Scope;
using link::VersionRun;

namespace {

// Every card answers with its own text; card 3 is "Not responding", card 6
// silent.
struct VersionRig : test::Rig
{
    test::RecordingEvents events;

    VersionRig()
    {
        for (int card = 1; card <= 64; ++card)
            switchBox.card(card).setFirmwareVersion(QStringLiteral("FW%1").arg(card));
        switchBox.card(3).setNotResponding(true);
        switchBox.card(6).setSilent(true);
    }
};

} // namespace

class VersionRunTest : public QObject
{
    Q_OBJECT

private slots:
    // The cards asked and their answers, which stay chosen, the stages
    // (0 starting .. 3 idle) and the outcome.
    void reportsWhatEachCardAnswered_data()
    {
        QTest::addColumn<int>("scope");
        QTest::addColumn<QList<int>>("cards");
        QTest::addColumn<bool>("updateMode");
        QTest::addColumn<int>("cutAtMs"); // > 0 cancel, < 0 the device gone, then
        QTest::addColumn<QString>("report"); // null: not compared
        QTest::addColumn<QString>("bar"); // its values, and the shade of its text

        QTest::newRow("update mode drops nothing")
            << int(Scope::SecondRemoteListOnly) << QList<int>{3, 40} << true << 0
            << "stage:0 stage:1 ask:3 answer:3:(nr)Not responding ask:40 answer:40:FW40 "
               "stage:2 stage:3 outcome:1 end"
            << "dark 0 50 light 100 100 0";
        QTest::newRow("a silent card stops the run")
            << int(Scope::RemoteCards) << QList<int>{5, 6, 7} << false << 0
            << "stage:0 stage:1 ask:5 answer:5:FW5 kept:5 ask:6 stage:3 outcome:0 end"
            << "dark 0 33 light 67 0";
        QTest::newRow("cancel ends the wait quietly")
            << int(Scope::RemoteCards) << QList<int>{5, 6, 7} << false << 400
            << "stage:0 stage:1 ask:5 answer:5:FW5 kept:5 ask:6 stage:3 outcome:0 end"
            << "dark 0 33 light 67 0";
        // Inside the reply wait: told once, and no timer left running.
        QTest::newRow("device gone, management card")
            << int(Scope::ManagementCard) << QList<int>{} << false << -400
            << "stage:0 ask:1 stage:1 interrupted stage:2 stage:3 outcome:0 end"
            << "dark 0 light 100 0";
        QTest::newRow("device gone, remote card")
            << int(Scope::RemoteCards) << QList<int>{6, 7} << false << -200
            << "stage:0 stage:1 ask:6 interrupted stage:3 outcome:0 end" << "dark 0 50 0";
        // Single precision: 100/8 = 12.5, and the sums 12.5, 37.5, 62.5 and
        // 87.5 go to the even neighbour.
        QTest::newRow("eight cards: the bar's steps")
            << int(Scope::RemoteCards) << QList<int>{2, 4, 5, 7, 8, 9, 10, 11} << true << 0
            << QString() << "dark 0 12 25 38 50 light 62 light 75 light 88 light 100 100 0";
    }
    void reportsWhatEachCardAnswered()
    {
        QFETCH(int, scope);
        QFETCH(QList<int>, cards);
        QFETCH(bool, updateMode);
        QFETCH(int, cutAtMs);
        QFETCH(QString, report);
        VersionRig rig;
        if (scope == int(Scope::ManagementCard))
            rig.switchBox.card(1).setSilent(true);
        if (cutAtMs != 0) {
            rig.clock.post(std::abs(cutAtMs) * 1000, [&rig, cutAtMs] {
                if (cutAtMs > 0)
                    rig.link.cancelRequested = true;
                else
                    rig.devices.setRemoved(1, true);
            });
        }
        VersionRun(rig.link, rig.events, {false, updateMode})
            .getVersions(static_cast<Scope>(scope), cards);

        QStringList reported;
        QStringList bar;
        for (const QString& line : rig.events.lines) {
            const bool face = line.startsWith("bar:") || line == "light" || line == "dark";
            (face ? bar : reported) << QString(line).remove("bar:");
        }
        if (!report.isNull())
            QCOMPARE(reported.join(' '), report);
        QTEST(bar.join(' '), "bar");
        // Update mode leaves the last card's reply for the caller.
        QCOMPARE(rig.link.replyReceived, updateMode);
        // A card that gives no reply is a communication error; a cancel is not.
        QCOMPARE(rig.communicationErrorShown(), !updateMode && cutAtMs <= 0);
        if (updateMode)
            QVERIFY(rig.prompts.entries().empty());
        rig.verifyRestingState();
    }
};

QTEST_GUILESS_MAIN(VersionRunTest)
#include "tst_versionrun.moc"
