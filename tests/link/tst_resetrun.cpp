#include "linkrig.h"
#include "recordingview.h"

#include "link/resetrun.h"

using namespace quorlink;
using link::ResetRun;
using test::Char;
using test::Rig;
namespace ResetMode = link::ResetMode;

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

QList<int> remoteCardsExcept(int left)
{
    QList<int> cards;
    for (int card = 2; card <= 64; ++card) {
        if (card != left)
            cards << card;
    }
    return cards;
}

} // namespace

class ResetRunTest : public QObject
{
    Q_OBJECT

private slots:
    void framesAddressExactlyTheChosenCards_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QList<int>>("cards");
        QTest::addColumn<QString>("bytes");
        QTest::addColumn<QList<int>>("reset");
        // The window's reset flows cover the management card, one card and all cards.
        QTest::newRow("two cards: a frame each")
            << ResetMode::SecondRemoteListOnly << QList<int>{33, 64}
            << Signature + " mA1 mFB " + Signature + " mC0 mFB s00" << QList<int>{33, 64};
        QTest::newRow("no card chosen: nothing")
            << ResetMode::RemoteCards << QList<int>{} << QString() << QList<int>{};
        QTest::newRow("unknown mode: nothing") << 5 << QList<int>{7} << QString() << QList<int>{};
    }
    void framesAddressExactlyTheChosenCards()
    {
        QFETCH(int, mode);
        QFETCH(QList<int>, cards);
        QFETCH(QString, bytes);
        QFETCH(QList<int>, reset);
        Rig rig;
        test::RecordingView view;
        const bool acknowledged = ResetRun(rig.link, view).resetCards(mode, cards, 63);
        QCOMPARE(rig.switchBox.trace().pcText(), bytes);
        QCOMPARE(cardsReset(rig.switchBox), reset);
        QCOMPARE(acknowledged, !reset.isEmpty());
        QCOMPARE(view.steps.last(), QStringLiteral("finish"));
        QVERIFY(rig.prompts.entries().empty());
        rig.verifyRestingState();
    }

    void framesArePacedTenMillisecondsApart_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QList<int>>("cards");
        // Microseconds after the start at which each byte has left the wire.
        QTest::addColumn<QList<std::int64_t>>("times");
        const auto signatureFrom = [](std::int64_t start) {
            QList<std::int64_t> times;
            for (int k = 1; k <= 7; ++k)
                times << start + k * Char;
            return times;
        };
        QTest::newRow("management card")
            << ResetMode::ManagementCard << QList<int>{}
            << (signatureFrom(0) << 8 * Char << 10'000 + Char << 20'000 + Char);
        QTest::newRow("one remote card")
            << ResetMode::RemoteCards << QList<int>{5}
            << (signatureFrom(0) << 10'000 + Char << 20'000 + Char << 30'000 + Char);
        // Several cards: the sixty-two card run below.
    }
    void framesArePacedTenMillisecondsApart()
    {
        QFETCH(int, mode);
        QFETCH(QList<int>, cards);
        QFETCH(QList<std::int64_t>, times);
        Rig rig;
        test::RecordingView view;
        ResetRun(rig.link, view).resetCards(mode, cards, 63);
        QCOMPARE(rig.switchBox.trace().pcTimes(), times);
    }

    void sixtyTwoOfSixtyThreeCardsGetSixtyTwoFramesInCardOrder()
    {
        Rig rig;
        test::RecordingView view;
        ResetRun(rig.link, view).resetCards(ResetMode::RemoteCards, remoteCardsExcept(17), 63);

        const std::vector<sim::PcByte> bytes = rig.switchBox.trace().pcBytes();
        QCOMPARE(bytes.size(), std::size_t{62 * 9 + 1});
        QList<int> addressed;
        for (std::size_t frame = 0; frame < 62; ++frame) {
            const std::size_t first = frame * 9;
            const std::int64_t start = 10'000 + static_cast<std::int64_t>(frame) * 30'000;
            for (std::size_t k = 0; k < 7; ++k) // the signature after a sleep, back to back
                QCOMPARE(bytes[first + k].time, start + std::int64_t(k + 1) * Char);
            QCOMPARE(bytes[first + 7].time, start + 10'000 + Char); // address 10 ms later
            QCOMPARE(bytes[first + 8].value, std::uint8_t{0xFB});
            QCOMPARE(bytes[first + 8].time, start + 20'000 + Char);
            addressed << bytes[first + 7].value - 0x80;
        }
        QCOMPARE(addressed, remoteCardsExcept(17));
        QCOMPARE(bytes.back(), (sim::PcByte{0x00, Parity::Space, 62 * 30'000 + 10'000 + Char}));
        QCOMPARE(cardsReset(rig.switchBox), remoteCardsExcept(17));
    }

    void whatIsLeftWaitingIsDiscardedAndTheTimersRestOnEveryWayOut_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("removedAtMs"); // -1: the device stays
        QTest::addColumn<bool>("errorShown");
        // Bytes after the acknowledgement would head the next version reply.
        QTest::newRow("acknowledged, more bytes behind") << QByteArray("RRR") << -1 << false;
        // The port gone in the acknowledgement wait: Timer1 was left running.
        QTest::newRow("device gone while waiting") << QByteArray() << 500 << true;
    }
    void whatIsLeftWaitingIsDiscardedAndTheTimersRestOnEveryWayOut()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, removedAtMs);
        QFETCH(bool, errorShown);
        Rig rig;
        test::RecordingView view;
        rig.switchBox.card(5).scriptResetReplies({reply});
        if (removedAtMs >= 0)
            rig.clock.post(removedAtMs * 1000, [&] { rig.devices.setRemoved(1, true); });

        ResetRun(rig.link, view).resetCards(ResetMode::RemoteCards, {5}, 63);

        QCOMPARE(view.steps.last(), QStringLiteral("finish"));
        QCOMPARE(rig.communicationErrorShown(), errorShown);
        rig.verifyRestingState();
        if (rig.port.portOpen())
            QCOMPARE(rig.port.inBufferCount(), 0);
    }

    // Card 5 acknowledges 1.2 s late, after its reset was reported failed;
    // the "R" waiting then must not report the reset of silent card 6 done.
    void aLateAcknowledgementDoesNotAcknowledgeTheNextReset()
    {
        Rig rig;
        test::RecordingView view;
        rig.switchBox.card(5).setReplyDelay(1200);
        rig.switchBox.card(6).setSilent(true);
        QVERIFY(!ResetRun(rig.link, view).resetCards(ResetMode::RemoteCards, {5}, 63));
        rig.clock.sleep(500);

        QVERIFY(!ResetRun(rig.link, view).resetCards(ResetMode::RemoteCards, {6}, 63));
        QCOMPARE(rig.prompts.messageCount(), 2);
    }
};

QTEST_GUILESS_MAIN(ResetRunTest)
#include "tst_resetrun.moc"
