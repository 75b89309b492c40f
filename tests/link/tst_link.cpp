#include "linkrig.h"

using namespace quorlink;
using link::Link;
using test::Rig;
namespace protocol = link::protocol;

class LinkTest : public QObject
{
    Q_OBJECT

private slots:
    void completeReplyIsCollectedWithoutItsTerminator_data()
    {
        QTest::addColumn<int>("card");
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("splitAfter"); // the second part 100 ms after the first
        QTest::addColumn<QByteArray>("trailing"); // sent after the terminator
        QTest::addColumn<int>("delayMs");         // -1: the card's usual
        // The window is busy for a while from a moment of the wait (0: never).
        QTest::addColumn<int>("busyAtMs");
        QTest::addColumn<int>("busyForMs");
        const auto row = [](const char* name, int card, const char* version, int splitAfter,
                            const QByteArray& trailing, int delayMs, int busyAtMs, int busyForMs) {
            QTest::newRow(name) << card << QString(version) << splitAfter << trailing << delayMs
                                << busyAtMs << busyForMs;
        };
        row("management", 1, "QLMGR ver2.31 US", 0, {}, -1, 0, 0);
        // Pieces are put together; the timer runs on across them.
        row("split over reads", 7, "QLREM ver1.07 US", 3, {}, -1, 0, 0);
        // The reply and the bytes after it arrive in one read: those are dropped.
        row("bytes after the terminator", 6, "V1", 0, "XYZ", -1, 20, 30);
        // The reply (about 170 ms) and the 200 ms timeout tick (220 ms) both
        // fall inside the busy time: the data present is still read.
        row("reply present when the timer ticks", 9, "late", 0, {}, 150, 100, 200);
    }
    void completeReplyIsCollectedWithoutItsTerminator()
    {
        QFETCH(int, card);
        QFETCH(QString, version);
        QFETCH(int, splitAfter);
        QFETCH(QByteArray, trailing);
        QFETCH(int, delayMs);
        QFETCH(int, busyAtMs);
        QFETCH(int, busyForMs);
        Rig rig;
        auto& simulated = rig.switchBox.card(card);
        simulated.setFirmwareVersion(version).setSplitReply(splitAfter, 100).setTrailingBytes(trailing);
        if (delayMs >= 0)
            simulated.setReplyDelay(delayMs);
        if (busyAtMs > 0)
            rig.clock.post(busyAtMs * 1000, [&] { rig.clock.sleep(busyForMs); });
        const int opensBefore = rig.devices.openCount();

        const Link::VersionReply reply =
            rig.link.exchangeVersion(card, protocol::FirmwareVersionCommand);

        QVERIFY(reply.received);
        QCOMPARE(reply.text, version);
        QVERIFY(rig.link.linkOk);
        QVERIFY(rig.prompts.entries().empty());
        QCOMPARE(rig.port.inBufferCount(), 0);
        // Only a management card reply reopens the port.
        QCOMPARE(rig.devices.openCount() - opensBefore, card == 1 ? 1 : 0);
        rig.verifyRestingState();
    }

    // A wait ends at its bound with the message and a reopened port; a
    // Cancel ends it at once, quietly, without a reopen.
    void missingOrUnterminatedReplyEndsAtItsBound_data()
    {
        QTest::addColumn<int>("card");
        QTest::addColumn<int>("splitAfter"); // -1: silent
        QTest::addColumn<int>("gapMs");
        QTest::addColumn<int>("cancelAtMs"); // 0: never
        QTest::addColumn<int>("endMs");      // from the wait's start
        QTest::newRow("silent remote card") << 9 << -1 << 0 << 0 << 200;
        QTest::newRow("silent management card") << 1 << -1 << 0 << 0 << 500;
        // Partial data does not restart the 200 ms.
        QTest::newRow("partial reply then silence") << 9 << 3 << 190 << 0 << 200;
        QTest::newRow("cancel") << 9 << -1 << 0 << 50 << 30;
    }
    void missingOrUnterminatedReplyEndsAtItsBound()
    {
        QFETCH(int, card);
        QFETCH(int, splitAfter);
        QFETCH(int, gapMs);
        QFETCH(int, cancelAtMs);
        QFETCH(int, endMs);
        Rig rig;
        rig.switchBox.card(card).setFirmwareVersion(QStringLiteral("QLREM ver1.07 US"));
        if (splitAfter < 0)
            rig.switchBox.card(card).setSilent(true);
        else
            rig.switchBox.card(card).setSplitReply(splitAfter, gapMs);
        if (cancelAtMs > 0)
            rig.clock.post(cancelAtMs * 1000, [&] { rig.link.cancelRequested = true; });
        rig.link.linkOk = true;
        const int opensBefore = rig.devices.openCount();

        const std::int64_t waitStart = 20'000; // after the address phase's two sleeps
        const Link::VersionReply reply =
            rig.link.exchangeVersion(card, protocol::FirmwareVersionCommand);

        QVERIFY(!reply.received);
        QVERIFY(!rig.link.replyReceived);
        QCOMPARE(rig.clock.nowMicroseconds(), waitStart + endMs * 1000);
        const bool told = cancelAtMs == 0;
        QCOMPARE(rig.prompts.entries().empty(), !told);
        if (told)
            QVERIFY(!rig.link.linkOk && rig.communicationErrorShown());
        QCOMPARE(rig.devices.openCount() - opensBefore, told ? 1 : 0); // reopened after the message
        rig.verifyRestingState();
        // An idle wait blocks until the next event instead of spinning.
        QVERIFY2(rig.clock.waitCount() < 40, qPrintable(QString::number(rig.clock.waitCount())));
    }

    void anAnswerAfterItsExchangeEndedIsNotTheNextCardsAnswer()
    {
        Rig rig;
        rig.switchBox.card(9).setFirmwareVersion(QStringLiteral("late")).setReplyDelay(300);
        rig.switchBox.card(6).setFirmwareVersion(QStringLiteral("V6"));
        QVERIFY(!rig.link.exchangeVersion(9, protocol::FirmwareVersionCommand).received);
        rig.clock.sleep(200); // "late" arrives between the exchanges
        const Link::VersionReply reply =
            rig.link.exchangeVersion(6, protocol::FirmwareVersionCommand);
        QVERIFY(reply.received);
        QCOMPARE(reply.text, QStringLiteral("V6"));
    }

    // A handler that runs during a wait (Cancel, the idle restore) may stop
    // the wait's timer. The wait still ends, a grace period after its tick
    // was due, and never before.
    void aWaitWhoseTimerIsStoppedStillEnds_data()
    {
        QTest::addColumn<QString>("wait");
        QTest::addColumn<int>("timeoutMs");
        QTest::newRow("remote card's reply") << "reply" << 200;
        QTest::newRow("acknowledgement") << "acknowledgement" << 1000;
        QTest::newRow("pause") << "pause" << 100;
    }
    void aWaitWhoseTimerIsStoppedStillEnds()
    {
        QFETCH(QString, wait);
        QFETCH(int, timeoutMs);
        Rig rig;
        rig.switchBox.card(9).setSilent(true);
        const std::int64_t start = rig.clock.nowMicroseconds();
        rig.clock.post(start + 50'000, [&] {
            rig.timer1->setEnabled(false);
            rig.timer2->setEnabled(false);
        });
        if (wait == "reply")
            rig.link.awaitTextReply(9);
        else if (wait == "acknowledgement")
            QVERIFY(!rig.link.awaitAcknowledgement());
        else
            rig.link.pause();
        QCOMPARE(rig.clock.nowMicroseconds(),
                 start + (timeoutMs + Link::StoppedTimerGraceMs) * 1000);
        QVERIFY(!rig.link.replyReceived);
    }

    // "XR" in one read is no acknowledgement: the wait runs its full second.
    void acknowledgementCountsOnlyAReadStartingWithR()
    {
        Rig rig;
        rig.switchBox.card(1).scriptResetReplies({QByteArray("XR")});
        rig.sendManagementResetFrame();
        const std::int64_t start = rig.clock.nowMicroseconds();
        rig.clock.post(start, [&] { rig.clock.sleep(10); }); // both bytes in before the next look
        QVERIFY(!rig.link.awaitAcknowledgement());
        QCOMPARE(rig.clock.nowMicroseconds(), start + 1'000'000);
        QVERIFY(!rig.timer1->isEnabled());
    }
};

QTEST_GUILESS_MAIN(LinkTest)
#include "tst_link.moc"
