#include "linkrig.h"
#include "recordingevents.h"

#include "link/resetrun.h"

using namespace quorlink;
using link::ResetMode;
using link::ResetRun;
using test::Rig;

class ResetRunTest : public QObject
{
    Q_OBJECT

private slots:
    // Which cards hear a reset, the outcome, and what is left behind on
    // every way out.
    void framesAddressExactlyTheChosenCards_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QList<int>>("cards");
        QTest::addColumn<QByteArray>("reply"); // the first card's
        QTest::addColumn<int>("removedAtMs");  // -1: the device stays
        QTest::addColumn<bool>("acknowledged");
        QList<int> allBut17;
        for (int card = 2; card <= 64; ++card) {
            if (card != 17)
                allBut17 << card;
        }
        QTest::newRow("two cards of the second list")
            << int(ResetMode::SecondRemoteListOnly) << QList<int>{33, 64} << QByteArray("R") << -1
            << true;
        QTest::newRow("all cards but one: not the all-cards address")
            << int(ResetMode::RemoteCards) << allBut17 << QByteArray("R") << -1 << true;
        QTest::newRow("no card chosen")
            << int(ResetMode::RemoteCards) << QList<int>{} << QByteArray() << -1 << false;
        // Bytes after the acknowledgement would head the next version reply.
        QTest::newRow("acknowledged, more bytes behind")
            << int(ResetMode::RemoteCards) << QList<int>{5} << QByteArray("RRR") << -1 << true;
        // The port gone in the acknowledgement wait: Timer1 was left running.
        QTest::newRow("device gone while waiting")
            << int(ResetMode::RemoteCards) << QList<int>{5} << QByteArray() << 500 << false;
    }
    void framesAddressExactlyTheChosenCards()
    {
        QFETCH(int, mode);
        QFETCH(QList<int>, cards);
        QFETCH(QByteArray, reply);
        QFETCH(int, removedAtMs);
        QFETCH(bool, acknowledged);
        Rig rig;
        test::RecordingEvents events;
        if (!cards.isEmpty())
            rig.switchBox.card(cards.front()).scriptResetReplies({reply});
        if (removedAtMs >= 0)
            rig.clock.post(removedAtMs * 1000, [&] { rig.devices.setRemoved(1, true); });

        QCOMPARE(
            ResetRun(rig.link, events).resetCards(static_cast<link::ResetMode>(mode), cards, 63),
            acknowledged);
        QList<int> reset;
        for (int card = 1; card <= 64; ++card) {
            if (!rig.switchBox.card(card).resetTimes().isEmpty())
                reset << card;
        }
        QCOMPARE(reset, cards);
        QCOMPARE(events.lines.constLast(), QStringLiteral("end"));
        QCOMPARE(events.lines.contains("outcome:1"), acknowledged);
        QCOMPARE(rig.communicationErrorShown(), removedAtMs >= 0);
        if (removedAtMs < 0)
            QVERIFY(rig.prompts.entries().empty());
        rig.verifyRestingState();
        if (rig.port.portOpen())
            QCOMPARE(rig.port.inBufferCount(), 0);
    }

    // Card 5 acknowledges 1.2 s late, after its reset was reported failed;
    // the "R" waiting then must not report the reset of silent card 6 done.
    void aLateAcknowledgementDoesNotAcknowledgeTheNextReset()
    {
        Rig rig;
        test::RecordingEvents events;
        rig.switchBox.card(5).setReplyDelay(1200);
        rig.switchBox.card(6).setSilent(true);
        QVERIFY(!ResetRun(rig.link, events).resetCards(ResetMode::RemoteCards, {5}, 63));
        rig.clock.sleep(500);
        QVERIFY(!ResetRun(rig.link, events).resetCards(ResetMode::RemoteCards, {6}, 63));
        QCOMPARE(rig.prompts.messageCount(), 2);
    }
};

QTEST_GUILESS_MAIN(ResetRunTest)
#include "tst_resetrun.moc"
