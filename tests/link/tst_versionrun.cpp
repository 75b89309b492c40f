#include "linkrig.h"
#include "recordingview.h"

#include "link/versionrun.h"

using namespace quorlink;
using link::VersionRun;
using test::Char;
using test::Rig;
namespace protocol = link::protocol;
namespace Scope = link::Scope;

namespace {

// A version run on the rig's link, reporting to a recording view.
struct VersionRig : Rig
{
    test::RecordingView view;

    VersionRig()
    {
        for (int card = 1; card <= 64; ++card) {
            switchBox.card(card)
                .setFirmwareVersion(QStringLiteral("FW%1").arg(card))
                .setHardwareVersion(QStringLiteral("HW%1").arg(card));
        }
    }

    void run(int scope, const QList<int>& cards, VersionRun::Options options = {})
    {
        VersionRun(link, view, options).getVersions(scope, cards);
    }

    // The address bytes of the cards asked, in order.
    QStringList cardsAsked() const
    {
        QStringList asked;
        for (const sim::PcByte& byte : switchBox.trace().pcBytes()) {
            if (byte.parity == Parity::Mark && byte.value >= 0x81 && byte.value <= 0xC0)
                asked << QString::number(byte.value - 0x80);
        }
        return asked;
    }
};

} // namespace

class VersionRunTest : public QObject
{
    Q_OBJECT

private slots:
    void oneRemoteCardShowsEveryStepInOrder()
    {
        VersionRig rig;
        rig.run(Scope::RemoteCards, {5});
        QCOMPARE(rig.view.steps,
                 (QStringList{"lock", "colour:0", "progress:0", "status:Status: Getting version",
                              "colour:ffffff", "progress:100",
                              "status:Status: Getting version in process ...", "asking:5",
                              "answering:5", "append:5: F/W - FW5", "keep:5", "progress:100",
                              "status:Status: Getting version completed", "progress:0",
                              "status:Status:", "finish", "end"}));
        // A restoring pause before the card; 10 ms between its bytes.
        QCOMPARE(rig.switchBox.trace().pcText(), QStringLiteral("m85 m10 s00"));
        QCOMPARE(rig.switchBox.trace().pcTimes(),
                 (QList<std::int64_t>{100'000 + Char, 110'000 + Char, 120'000 + Char}));
        // The answer's pause, the closing short and restoring pauses.
        const std::int64_t replyEnd = rig.switchBox.trace().switchTimes().back();
        QCOMPARE(rig.clock.nowMicroseconds(), replyEnd + 300'000);
        QVERIFY(!rig.link.replyReceived);
        QVERIFY(rig.prompts.entries().empty());
        rig.verifyRestingState();
    }

    void progressStepsAreSinglePrecisionRoundedHalfToEven_data()
    {
        QTest::addColumn<QList<int>>("cards");
        QTest::addColumn<QStringList>("shown"); // the bar before each card's query
        QTest::addColumn<int>("firstWhite");    // the card whose start turns the text white
        QTest::newRow("one card: 100 from its start") << QList<int>{5} << QStringList{"100"} << 0;
        QTest::newRow("two cards: 50 is not past 52")
            << QList<int>{2, 3} << QStringList{"50", "100"} << 1;
        // 100/8 = 12.5: the sums 12.5 and 37.5 and 62.5 and 87.5 go to the even neighbour.
        QTest::newRow("eight cards: halves to even")
            << QList<int>{2, 3, 4, 5, 6, 7, 8, 9}
            << QStringList{"12", "25", "38", "50", "62", "75", "88", "100"} << 4;
    }
    void progressStepsAreSinglePrecisionRoundedHalfToEven()
    {
        QFETCH(QList<int>, cards);
        QFETCH(QStringList, shown);
        QFETCH(int, firstWhite);
        VersionRig rig;
        rig.run(Scope::RemoteCards, cards);

        QStringList progressBeforeEachCard;
        int whiteAt = -1;
        int cardIndex = 0;
        QString lastProgress;
        bool white = false;
        for (const QString& step : rig.view.steps) {
            if (step.startsWith("progress:"))
                lastProgress = step.mid(9);
            if (step == "colour:ffffff")
                white = true;
            if (step.startsWith("asking:")) {
                progressBeforeEachCard << lastProgress;
                if (white && whiteAt < 0)
                    whiteAt = cardIndex;
                ++cardIndex;
            }
        }
        QCOMPARE(progressBeforeEachCard, shown);
        QCOMPARE(whiteAt, firstWhite);
        QStringList asked;
        for (int card : cards)
            asked << QString::number(card);
        QCOMPARE(rig.cardsAsked(), asked);
        QCOMPARE(rig.view.stepsOf("append:").size(), cards.size());
    }

    void managementCardRunShowsItsStepsWithItsPauses()
    {
        VersionRig rig;
        const int opens = rig.devices.openCount();
        rig.run(Scope::ManagementCard, {5, 6}); // remote cards are no part of it
        QCOMPARE(rig.view.steps,
                 (QStringList{"lock", "status:Status: Getting version", "colour:0", "progress:0",
                              "asking:1", "status:Status: Getting version in process ...",
                              "append:1: F/W - FW1", "colour:ffffff", "progress:100",
                              "status:Status: Getting version completed", "progress:0",
                              "status:Status:", "finish", "end"}));
        // A restoring and a short pause before the card is asked.
        QCOMPARE(rig.switchBox.trace().pcText(), QStringLiteral("m81 m10 s00"));
        QCOMPARE(rig.switchBox.trace().pcTimes().front(), 200'000 + Char);
        // Its complete reply reopens the port.
        QCOMPARE(rig.devices.openCount() - opens, 1);
        rig.verifyRestingState();
    }

    void cancelEndsTheWaitQuietlyAndStopsTheRun()
    {
        VersionRig rig;
        rig.switchBox.card(6).setSilent(true);
        rig.clock.post(400'000, [&] { rig.link.cancelRequested = true; });
        rig.run(Scope::RemoteCards, {5, 6, 7});
        QCOMPARE(rig.cardsAsked(), (QStringList{"5", "6"}));
        QVERIFY(rig.prompts.entries().empty());
        QVERIFY(rig.view.steps.mid(rig.view.steps.size() - 2) == QStringList({"finish", "end"}));
    }
};

QTEST_GUILESS_MAIN(VersionRunTest)
#include "tst_versionrun.moc"
