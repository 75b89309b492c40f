#include "linkrig.h"
#include "recordingevents.h"

#include "link/versionrun.h"

using namespace quorlink;
using link::VersionRun;
using test::Char;
namespace Scope = link::Scope;

namespace {

// Every card answers with its own texts; card 3 is "Not responding", card 6
// silent.
struct VersionRig : test::Rig
{
    test::RecordingEvents events;

    VersionRig()
    {
        for (int card = 1; card <= 64; ++card) {
            switchBox.card(card)
                .setFirmwareVersion(QStringLiteral("FW%1").arg(card))
                .setHardwareVersion(QStringLiteral("HW%1").arg(card));
        }
        switchBox.card(3).setNotResponding(true);
        switchBox.card(6).setSilent(true);
    }

    void run(int scope, const QList<int>& cards, VersionRun::Options options = {})
    {
        VersionRun(link, events, options).getVersions(scope, cards);
    }
};

} // namespace

class VersionRunTest : public QObject
{
    Q_OBJECT

private slots:
    // What a run sends and reports: the cards asked and their answers, which
    // stay chosen, the stages (0 starting .. 3 idle) and the outcome.
    void reportsWhatEachCardAnswered_data()
    {
        QTest::addColumn<int>("scope");
        QTest::addColumn<QList<int>>("cards");
        QTest::addColumn<int>("mode"); // 1 hardware, 2 update mode
        QTest::addColumn<int>("cutAtMs"); // > 0 cancel, < 0 the device gone, then
        QTest::addColumn<QString>("bytes");
        QTest::addColumn<QString>("report");

        QTest::newRow("remote card") << int(Scope::RemoteCards) << QList<int>{5} << 0 << 0
                                     << "m85 m10 s00"
                                     << "stage:0 stage:1 ask:5 answer:5:FW5 kept:5 stage:2 "
                                        "stage:3 outcome:1 end";
        QTest::newRow("management card, hardware; the remote cards are no part of it")
            << Scope::ManagementCard << QList<int>{5} << 1 << 0 << "m81 m12 s00"
            << "stage:0 ask:1 stage:1 answer:1:HW1 stage:2 stage:3 outcome:1 end";
        QTest::newRow("not responding: dropped, the run goes on")
            << int(Scope::RemoteCards) << QList<int>{3, 40} << 0 << 0 << "m83 m10 s00 mA8 m10 s00"
            << "stage:0 stage:1 ask:3 answer:3:(nr)Not responding dropped:3 ask:40 "
               "answer:40:FW40 kept:40 stage:2 stage:3 outcome:1 end";
        QTest::newRow("update mode drops nothing, asks for the firmware")
            << int(Scope::SecondRemoteListOnly) << QList<int>{3, 40} << 2 << 0
            << "m83 m10 s00 mA8 m10 s00"
            << "stage:0 stage:1 ask:3 answer:3:(nr)Not responding ask:40 answer:40:FW40 "
               "stage:2 stage:3 outcome:1 end";
        QTest::newRow("a silent card stops the run, not completed")
            << int(Scope::RemoteCards) << QList<int>{5, 6, 7} << 0 << 0
            << "m85 m10 s00 m86 m10 s00"
            << "stage:0 stage:1 ask:5 answer:5:FW5 kept:5 ask:6 stage:3 outcome:0 end";
        QTest::newRow("cancel ends the wait quietly")
            << int(Scope::RemoteCards) << QList<int>{5, 6, 7} << 0 << 400
            << "m85 m10 s00 m86 m10 s00"
            << "stage:0 stage:1 ask:5 answer:5:FW5 kept:5 ask:6 stage:3 outcome:0 end";
        // Inside the reply wait: told once, and no timer left running.
        QTest::newRow("device gone, management card")
            << Scope::ManagementCard << QList<int>{} << 0 << -400 << "m81 m10 s00"
            << "stage:0 ask:1 stage:1 interrupted stage:2 stage:3 outcome:0 end";
        QTest::newRow("device gone, remote card")
            << int(Scope::RemoteCards) << QList<int>{6, 7} << 0 << -200 << "m86 m10 s00"
            << "stage:0 stage:1 ask:6 interrupted stage:3 outcome:0 end";
    }
    void reportsWhatEachCardAnswered()
    {
        QFETCH(int, scope);
        QFETCH(QList<int>, cards);
        QFETCH(int, mode);
        QFETCH(int, cutAtMs);
        QFETCH(QString, bytes);
        QFETCH(QString, report);
        VersionRig rig;
        if (scope == Scope::ManagementCard && cutAtMs < 0)
            rig.switchBox.card(1).setSilent(true);
        if (cutAtMs != 0) {
            rig.clock.post(std::abs(cutAtMs) * 1000, [&rig, cutAtMs] {
                if (cutAtMs > 0)
                    rig.link.cancelRequested = true;
                else
                    rig.devices.setRemoved(1, true);
            });
        }
        rig.run(scope, cards, {(mode & 1) != 0, (mode & 2) != 0});

        QCOMPARE(rig.switchBox.trace().pcText(), bytes);
        // A restoring pause before a remote card, a short one more before the
        // management card.
        QCOMPARE(rig.switchBox.trace().pcTimes().front(),
                 (scope == Scope::ManagementCard ? 200'000 : 100'000) + Char);
        QStringList reported = rig.events.lines;
        reported.removeIf([](const QString& line) {
            return line.startsWith("bar:") || line == "light" || line == "dark";
        });
        QCOMPARE(reported.join(' '), report);
        // Update mode leaves the last card's reply for the caller.
        QCOMPARE(rig.link.replyReceived, mode == 2);
        // A card that gives no reply is a communication error; a cancel is not.
        QCOMPARE(rig.communicationErrorShown(), report.contains("outcome:0") && cutAtMs <= 0);
        if (report.contains("outcome:1"))
            QVERIFY(rig.prompts.entries().empty());
        rig.verifyRestingState();
    }

    // After the answer's pause, a short and a restoring pause end the run.
    void theRunEndsThreePausesAfterTheReply()
    {
        VersionRig rig;
        rig.run(Scope::RemoteCards, {5});
        QCOMPARE(rig.clock.nowMicroseconds(),
                 rig.switchBox.trace().switchTimes().back() + 300'000);
    }

    void progressStepsAreSinglePrecisionRoundedHalfToEven_data()
    {
        QTest::addColumn<QList<int>>("cards");
        QTest::addColumn<QString>("shown"); // the bar as each card is asked; the text
                                            // turns light from the card marked "+"
        QTest::newRow("one card: 100 from its start") << QList<int>{5} << "+100";
        QTest::newRow("two cards: 50 is not past 52") << QList<int>{4, 5} << "50 +100";
        // 100/8 = 12.5: the sums 12.5, 37.5, 62.5 and 87.5 go to the even neighbour.
        QTest::newRow("eight cards: halves to even")
            << QList<int>{2, 4, 5, 7, 8, 9, 10, 11} << "12 25 38 50 +62 +75 +88 +100";
    }
    void progressStepsAreSinglePrecisionRoundedHalfToEven()
    {
        QFETCH(QList<int>, cards);
        QFETCH(QString, shown);
        VersionRig rig;
        rig.run(Scope::RemoteCards, cards);

        QStringList atEachCard;
        QString bar;
        QString light;
        for (const QString& line : rig.events.lines) {
            if (line == "light")
                light = "+";
            if (line.startsWith("bar:"))
                bar = std::exchange(light, {}) + line.mid(4);
            if (line.startsWith("ask:"))
                atEachCard << bar;
        }
        QCOMPARE(atEachCard.join(' '), shown);
    }
};

QTEST_GUILESS_MAIN(VersionRunTest)
#include "tst_versionrun.moc"
