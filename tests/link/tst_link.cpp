#include "linkrig.h"

#include <QTest>

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
        QTest::addColumn<int>("splitAfter");
        QTest::addColumn<int>("gapMs");
        QTest::addColumn<QByteArray>("trailing"); // sent after the terminator
        QTest::addColumn<int>("delayMs");         // -1: the card's usual
        // The window is busy for a while from a moment of the wait (0: never).
        QTest::addColumn<int>("busyAtMs");
        QTest::addColumn<int>("busyForMs");
        const QString remote = QStringLiteral("QLREM ver1.07 US");
        QTest::newRow("management")
            << 1 << "QLMGR ver2.31 US" << 0 << 0 << QByteArray() << -1 << 0 << 0;
        QTest::newRow("only the terminator") << 7 << "" << 0 << 0 << QByteArray() << -1 << 0 << 0;
        // Pieces are put together; the timer keeps running across them.
        QTest::newRow("split over reads")
            << 7 << remote << 3 << 100 << QByteArray() << -1 << 0 << 0;
        // The reply and the bytes after it arrive in one read: those are dropped.
        QTest::newRow("bytes after the terminator")
            << 6 << "V1" << 0 << 0 << QByteArray("XYZ") << -1 << 20 << 30;
        // The reply (about 170 ms) and the 200 ms timeout tick (220 ms) both
        // fall inside the busy time: the data present is still read.
        QTest::newRow("reply present when the timer ticks")
            << 9 << "late" << 0 << 0 << QByteArray() << 150 << 100 << 200;
    }
    void completeReplyIsCollectedWithoutItsTerminator()
    {
        QFETCH(int, card);
        QFETCH(QString, version);
        QFETCH(int, splitAfter);
        QFETCH(int, gapMs);
        QFETCH(QByteArray, trailing);
        QFETCH(int, delayMs);
        QFETCH(int, busyAtMs);
        QFETCH(int, busyForMs);
        Rig rig;
        auto& simulated = rig.switchBox.card(card);
        simulated.setFirmwareVersion(version)
            .setSplitReply(splitAfter, gapMs)
            .setTrailingBytes(trailing);
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
        QVERIFY(rig.link.replyText.isEmpty());
        QVERIFY(rig.prompts.entries().empty());
        QCOMPARE(rig.port.inBufferCount(), 0);
        // Only a management card reply reopens the port.
        QCOMPARE(rig.devices.openCount() - opensBefore, card == 1 ? 1 : 0);
        rig.verifyRestingState();
    }

    void missingOrUnterminatedReplyIsACommunicationError_data()
    {
        QTest::addColumn<int>("card");
        QTest::addColumn<int>("splitAfter");
        QTest::addColumn<int>("gapMs");
        QTest::addColumn<int>("timeoutMs");
        QTest::newRow("silent remote card") << 9 << -1 << 0 << 200;
        QTest::newRow("silent management card") << 1 << -1 << 0 << 500;
        // The second half would come 190 ms after the first: past the 200 ms
        // that started with the wait, since partial data does not restart it.
        QTest::newRow("partial reply then silence") << 9 << 3 << 190 << 200;
    }
    void missingOrUnterminatedReplyIsACommunicationError()
    {
        QFETCH(int, card);
        QFETCH(int, splitAfter);
        QFETCH(int, gapMs);
        QFETCH(int, timeoutMs);
        Rig rig;
        rig.switchBox.card(card).setFirmwareVersion(QStringLiteral("QLREM ver1.07 US"));
        if (splitAfter < 0)
            rig.switchBox.card(card).setSilent(true);
        else
            rig.switchBox.card(card).setSplitReply(splitAfter, gapMs);
        rig.link.linkOk = true;
        const int opensBefore = rig.devices.openCount();

        const std::int64_t waitStart = 20'000; // after the address phase's two sleeps
        const Link::VersionReply reply =
            rig.link.exchangeVersion(card, protocol::FirmwareVersionCommand);

        QVERIFY(!reply.received);
        QVERIFY(!rig.link.replyReceived);
        QVERIFY(!rig.link.linkOk);
        QVERIFY(rig.communicationErrorShown());
        QCOMPARE(rig.clock.nowMicroseconds(), waitStart + timeoutMs * 1000);
        QCOMPARE(rig.devices.openCount() - opensBefore, 1); // reopened after the message
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

    void cancelDuringAnEmptyWaitEndsItAtOnceWithoutAMessage()
    {
        Rig rig;
        rig.switchBox.card(9).setSilent(true);
        rig.clock.post(50'000, [&] { rig.link.cancelRequested = true; });
        const int opensBefore = rig.devices.openCount();

        const Link::VersionReply reply =
            rig.link.exchangeVersion(9, protocol::FirmwareVersionCommand);

        QVERIFY(!reply.received);
        QCOMPARE(rig.clock.nowMicroseconds(), 50'000);
        QVERIFY(rig.prompts.entries().empty());
        QCOMPARE(rig.devices.openCount(), opensBefore); // no reopen either
        rig.verifyRestingState();
    }

    void aLineThatKeepsSendingPastTheTimeoutEndsAsNoReply()
    {
        // A busy window looks at the port every 2 ms while a card sends 4000
        // bytes (2.3 s) without a terminator: the buffer is never empty.
        Rig rig(2);
        rig.switchBox.card(9).setFirmwareVersion(QString(4000, QLatin1Char('U')));
        const std::int64_t waitStart = 24'000; // two sleeps and two busy yields

        const Link::VersionReply reply =
            rig.link.exchangeVersion(9, protocol::FirmwareVersionCommand);

        QVERIFY(!reply.received);
        QVERIFY(rig.communicationErrorShown());
        // The first look after the 200 ms timeout ends it, not the line going quiet.
        const std::int64_t end = rig.clock.nowMicroseconds();
        QVERIFY2(end >= waitStart + 200'000 && end <= waitStart + 206'000,
                 qPrintable(QString::number(end)));
        rig.verifyRestingState();
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

    void acknowledgementCountsOnlyAReadStartingWithR()
    {
        Rig rig;
        // One read "XR": not an acknowledgement.
        rig.switchBox.card(1).scriptResetReplies({QByteArray("XR")});
        rig.sendManagementResetFrame();
        const std::int64_t start = rig.clock.nowMicroseconds();
        rig.clock.post(start,
                       [&] { rig.clock.sleep(10); }); // both bytes arrive before the next look
        QVERIFY(!rig.link.awaitAcknowledgement());
        QCOMPARE(rig.clock.nowMicroseconds(), start + 1'000'000);
        QVERIFY(!rig.timer1->isEnabled());

        // Read one at a time, the "R" starts a read of its own and counts.
        Rig second;
        second.switchBox.card(1).scriptResetReplies({QByteArray("XR")});
        second.sendManagementResetFrame();
        QByteArray lastRead;
        QVERIFY(second.link.awaitAcknowledgement(&lastRead));
        QCOMPARE(lastRead, QByteArray("R"));
        QVERIFY(second.clock.nowMicroseconds() < 1'000'000);
    }
};

QTEST_GUILESS_MAIN(LinkTest)
#include "tst_link.moc"
