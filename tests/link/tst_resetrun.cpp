#include "linkrig.h"
#include "recordingevents.h"

#include "link/resetrun.h"

using namespace quorlink;
using link::ResetRun;
using test::Char;
using test::Rig;
namespace ResetMode = link::ResetMode;

Q_DECLARE_METATYPE(QList<std::int64_t>)

namespace {

const QString Signature = QStringLiteral("m51 m4C m52 m45 m53 m45 m54");

// The cards that heard a reset.
QList<int> cardsReset(const sim::SimulatedSwitch& switchBox)
{
    QList<int> cards;
    for (int card = 1; card <= 64; ++card) {
        if (!switchBox.card(card).resetTimes().isEmpty())
            cards << card;
    }
    return cards;
}

// When the seven signature bytes have left the wire, the first after `start`.
QList<std::int64_t> signatureFrom(std::int64_t start)
{
    QList<std::int64_t> times;
    for (int k = 1; k <= 7; ++k)
        times << start + k * Char;
    return times;
}

} // namespace

class ResetRunTest : public QObject
{
    Q_OBJECT

private slots:
    // Which cards are addressed, how the frames are paced, and the outcome.
    void framesAddressExactlyTheChosenCards_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QList<int>>("cards");
        QTest::addColumn<QString>("bytes"); // null: not compared
        QTest::addColumn<QList<std::int64_t>>("times");
        QTest::addColumn<QList<int>>("reset");

        // The management card and single cards: the window's wire traces.
        // A frame each, 10 ms before every part of it.
        QTest::newRow("two cards")
            << int(ResetMode::SecondRemoteListOnly) << QList<int>{33, 64}
            << Signature + " mA1 mFB " + Signature + " mC0 mFB s00"
            << (signatureFrom(10'000) << 20'000 + Char << 30'000 + Char
                                      << signatureFrom(40'000) << 50'000 + Char << 60'000 + Char
                                      << 70'000 + Char)
            << QList<int>{33, 64};
        QList<int> allBut17;
        for (int card = 2; card <= 64; ++card) {
            if (card != 17)
                allBut17 << card;
        }
        QTest::newRow("all cards but one: not the all-cards address")
            << int(ResetMode::RemoteCards) << allBut17 << QString() << QList<std::int64_t>{}
            << allBut17;
        QTest::newRow("no card chosen: nothing") << int(ResetMode::RemoteCards) << QList<int>{}
                                                 << "" << QList<std::int64_t>{} << QList<int>{};
        QTest::newRow("unknown mode: nothing")
            << 5 << QList<int>{7} << "" << QList<std::int64_t>{} << QList<int>{};
    }
    void framesAddressExactlyTheChosenCards()
    {
        QFETCH(int, mode);
        QFETCH(QList<int>, cards);
        QFETCH(QString, bytes);
        QFETCH(QList<std::int64_t>, times);
        QFETCH(QList<int>, reset);
        Rig rig;
        test::RecordingEvents events;
        const bool acknowledged = ResetRun(rig.link, events).resetCards(mode, cards, 63);
        if (!bytes.isNull()) {
            QCOMPARE(rig.switchBox.trace().pcText(), bytes);
            QCOMPARE(rig.switchBox.trace().pcTimes(), times);
        }
        QCOMPARE(cardsReset(rig.switchBox), reset);
        QCOMPARE(acknowledged, !reset.isEmpty());
        QCOMPARE(events.lines.mid(events.lines.size() - 2),
                 (QStringList{QStringLiteral("outcome:%1").arg(int(acknowledged)), "end"}));
        QVERIFY(rig.prompts.entries().empty());
        rig.verifyRestingState();
    }

    void whatIsLeftWaitingIsDiscardedAndTheTimersRestOnEveryWayOut_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("removedAtMs"); // -1: the device stays
        // Bytes after the acknowledgement would head the next version reply.
        QTest::newRow("acknowledged, more bytes behind") << QByteArray("RRR") << -1;
        // The port gone in the acknowledgement wait: Timer1 was left running.
        QTest::newRow("device gone while waiting") << QByteArray() << 500;
    }
    void whatIsLeftWaitingIsDiscardedAndTheTimersRestOnEveryWayOut()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, removedAtMs);
        Rig rig;
        test::RecordingEvents events;
        rig.switchBox.card(5).scriptResetReplies({reply});
        if (removedAtMs >= 0)
            rig.clock.post(removedAtMs * 1000, [&] { rig.devices.setRemoved(1, true); });

        const bool acknowledged =
            ResetRun(rig.link, events).resetCards(ResetMode::RemoteCards, {5}, 63);

        QCOMPARE(acknowledged, removedAtMs < 0);
        QCOMPARE(events.lines.constLast(), QStringLiteral("end"));
        QCOMPARE(rig.communicationErrorShown(), !acknowledged);
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
