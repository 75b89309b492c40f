#include "firmwaremaker.h"
#include "link/download.h"
#include "link/updaterun.h"
#include "linkrig.h"
#include "platform/runtimeerror.h"
#include "recordingevents.h"

#include <QRegularExpression>

using namespace quorlink;
using link::DownloadTarget::FlaggedGroup;
using sim::Answer;
using sim::NoAnswer;
namespace maker = firmware::maker;
namespace protocol = link::protocol;

Q_DECLARE_METATYPE(QList<Answer>)

namespace {

constexpr Answer Refused = protocol::RecordRefused;
constexpr Answer Aborted = protocol::DownloadAborted;
constexpr Answer Stray = 0x41;

// Records as a file holds them: whole fileSlotList, CR LF included, and a last
// slot that is never sent as it stands.
QStringList fileSlots(int dataBytes, std::uint32_t seed, const QString& version = {})
{
    maker::Image image = maker::makeImage(0x2000, dataBytes, version, seed);
    QStringList fileSlotList = maker::FirmwareMaker(seed).imageRecordTexts(image);
    for (QString& slot : fileSlotList)
        slot += QStringLiteral("\r\n");
    fileSlotList << QStringLiteral(":00000001FF\r\n");
    return fileSlotList;
}

// What a card must receive from `fileSlotList`: every record but the last, as
// stored, then the fixed end record.
QStringList expectedImage(const QStringList& fileSlotList)
{
    QStringList image;
    for (qsizetype i = 0; i + 1 < fileSlotList.size(); ++i)
        image << fileSlotList.at(i).left(protocol::RecordLength);
    image << QString(protocol::EndRecord);
    return image;
}

QByteArray bytesOf(const QStringList& records)
{
    return records.join(QString()).toLatin1();
}

// A management card plan: the file's two images, split after the first end
// record, and the file's length.
link::UpdatePlan managerPlan(std::uint32_t seed, const QString& version, int firstSize)
{
    const QStringList texts = maker::FirmwareMaker(seed).managerRecordTexts(
        maker::makeImage(0x2000, firstSize, version, seed),
        maker::makeImage(0x3000, firstSize / 2, {}, seed + 1));
    qsizetype split = 0;
    while (!texts.at(split).startsWith(protocol::EndRecord))
        ++split;
    link::UpdatePlan plan;
    plan.scope = link::Scope::ManagementCard;
    plan.firstImage = texts.mid(0, split + 1);
    plan.secondImage = texts.mid(split + 1);
    plan.fileLength = bytesOf(texts).size() + 2 * texts.size();
    return plan;
}

link::RemoteCardFlags flagsFor(const QList<int>& cards)
{
    link::RemoteCardFlags flags{};
    for (const int card : cards)
        flags[static_cast<std::size_t>(card - 2)] = true;
    return flags;
}

struct DownloadRig : test::Rig
{
    test::RecordingEvents events;
    link::FirmwareDownload download{link, events};

    bool send(int target, const QStringList& fileSlotList, const QList<int>& group = {})
    {
        link::DownloadProgress progress;
        progress.progressUnit = static_cast<float>(bytesOf(fileSlotList).size() / 100.0);
        return download.downloadToCard(target, fileSlotList, flagsFor(group), progress);
    }

    // The PC's bytes after the address phase, all under space parity.
    QByteArray dataAfterAddressPhase() const
    {
        const std::vector<sim::PcByte> bytes = switchBox.trace().pcBytes();
        QByteArray data;
        bool afterZero = false;
        for (const sim::PcByte& byte : bytes) {
            if (afterZero) {
                if (byte.parity != Parity::Space)
                    return "parity changed";
                data.append(static_cast<char>(byte.value));
            } else if (byte.parity == Parity::Space && byte.value == 0) {
                afterZero = true;
            }
        }
        return data;
    }
};

} // namespace

class DownloadTest : public QObject
{
    Q_OBJECT

private slots:
    // The address phase, the records as stored, and what the download reports.
    void targetsReceiveExactlyTheStoredRecords_data()
    {
        QTest::addColumn<int>("target");
        QTest::addColumn<QList<int>>("group");
        QTest::addColumn<int>("dataBytes");
        QTest::addColumn<QString>("addressPhase");
        QTest::addColumn<QString>("stages"); // 0 starting .. 3 idle

        // The management card's bar runs on over its two images.
        QTest::newRow("management card") << 1 << QList<int>{} << 200 << "m81 m11 s00" << "1 2 3";
        // The window's flows cover one card, all cards and the smaller groups.
        QTest::newRow("group 34 and 64") << FlaggedGroup << QList<int>{34, 64} << 200
                                         << "mA2 m11 mC0 m11 s00" << "0 1 2 3";
        QTest::newRow("one record still shows its progress")
            << 9 << QList<int>{} << 16 << "m89 m11 s00" << "0 1 2 3";
    }
    void targetsReceiveExactlyTheStoredRecords()
    {
        QFETCH(int, target);
        QFETCH(QList<int>, group);
        QFETCH(int, dataBytes);
        QFETCH(QString, addressPhase);
        QFETCH(QString, stages);

        DownloadRig rig;
        const QStringList fileSlotList = fileSlots(dataBytes, 3);
        QVERIFY(rig.send(target, fileSlotList, group));

        QVERIFY(rig.switchBox.trace().pcText().startsWith(addressPhase + QLatin1Char(' ')));
        QCOMPARE(rig.dataAfterAddressPhase(), bytesOf(expectedImage(fileSlotList)));
        for (int card = 1; card <= 64; ++card) {
            const bool receiver = card == target || group.contains(card);
            QCOMPARE(rig.switchBox.card(card).images(),
                     receiver ? QList<QStringList>{expectedImage(fileSlotList)}
                              : QList<QStringList>{});
        }
        QCOMPARE(rig.events.of("stage:").join(' '), stages);
        const QString t = QString::number(target);
        QCOMPARE(rig.events.lines.filter(QRegularExpression("^(begins|stored|ends):")),
                 (QStringList{"begins:" + t, "stored:" + t, "ends:" + t}));
        QVERIFY(rig.prompts.entries().empty());
        rig.verifyRestingState();
    }

    void recordAnswers_data()
    {
        QTest::addColumn<QList<Answer>>("answers");
        QTest::addColumn<bool>("stored");
        QTest::addColumn<QString>("message");

        // Timeouts, refusals and other bytes share five attempts; the last
        // failure names the message.
        QTest::newRow("refused four times, then accepted")
            << QList<Answer>{Refused, Refused, Refused, Refused} << true << "";
        QTest::newRow("refused, timeout, refused, other byte, refused")
            << QList<Answer>{Refused, NoAnswer, Refused, Stray, Refused} << false
            << "Verification Error";
        QTest::newRow("aborted at once") << QList<Answer>{Aborted} << false << "Verification Error";
        QTest::newRow("five timeouts") << QList<Answer>{NoAnswer, NoAnswer, NoAnswer, NoAnswer,
                                                        NoAnswer}
                                       << false << "Communication Error";
        QTest::newRow("timeout last after refusals")
            << QList<Answer>{Refused, Refused, Refused, Refused, NoAnswer} << false
            << "Communication Error";
    }
    void recordAnswers()
    {
        QFETCH(QList<Answer>, answers);
        QFETCH(bool, stored);
        QFETCH(QString, message);

        DownloadRig rig;
        const QStringList fileSlotList = fileSlots(100, 5);
        rig.switchBox.card(7).scriptRecordAnswers(1, answers);
        const int opensBefore = rig.devices.openCount();
        QCOMPARE(rig.send(7, fileSlotList), stored);
        QCOMPARE(rig.link.replyReceived, stored);

        const QByteArray record1 = fileSlotList.at(1).left(77).toLatin1();
        const int sent = answers.size() + (stored ? 1 : 0);
        QCOMPARE(rig.dataAfterAddressPhase().count(record1), std::min(sent, 5));
        QCOMPARE(rig.switchBox.card(7).images().size(), stored ? 1 : 0);
        QCOMPARE(rig.events.of("stored:"), stored ? QStringList{"7"} : QStringList{});
        QCOMPARE(rig.prompts.log(),
                 stored ? QStringList() : (QStringList{"beep", "message:" + message}));
        rig.verifyRestingState();
        if (stored)
            return;
        QCOMPARE(rig.prompts.messages().front().style, 0x10010);
        QVERIFY(!rig.download.verifyFailed);
        QCOMPARE(rig.devices.openCount(), opensBefore + 1); // reopened
        QCOMPARE(rig.events.lines.mid(rig.events.lines.size() - 3),
                 (QStringList{"bar:0", "stage:3", "ends:7"}));
        // Nothing after the failed record.
        QVERIFY(!rig.dataAfterAddressPhase().contains(fileSlotList.at(2).left(77).toLatin1()));
    }

    // A refusal that comes after the wait gave up must not answer the
    // resend: every later answer would land one record late.
    void lateAnswerDoesNotAnswerTheResend()
    {
        DownloadRig rig;
        const QStringList fileSlotList = fileSlots(200, 7);
        rig.switchBox.card(7).scriptRecordAnswers(1, {Refused}).delayRecordAnswers(1, {960});
        QVERIFY(rig.send(7, fileSlotList));
        QCOMPARE(rig.switchBox.card(7).images(), QList<QStringList>{expectedImage(fileSlotList)});
        QCOMPARE(rig.dataAfterAddressPhase(),
                 bytesOf(expectedImage(fileSlotList))
                     .insert(77, fileSlotList.at(1).left(77).toLatin1()));
    }

    void readyWait_data()
    {
        QTest::addColumn<QByteArray>("readyReply");
        QTest::addColumn<int>("failedAfterMs");

        // The read is discarded and the full second starts again from it.
        // (The 0x00 leaves at 30 ms; the reads are held back until both bytes are in.)
        QTest::newRow("X and R in one read") << QByteArray("XR") << 33 + 1000;
        // A noisy line: at most eleven reads, then the card counts as silent,
        // long before the noise ends.
        QTest::newRow("endless noise") << QByteArray(3000, 'X') << 38;
    }
    void readyWait()
    {
        QFETCH(QByteArray, readyReply);
        QFETCH(int, failedAfterMs);

        DownloadRig rig;
        rig.switchBox.card(7).scriptReadyReplies({readyReply});
        rig.clock.post(31000, [&] { rig.clock.sleep(2); });
        std::int64_t messageAt = 0;
        rig.prompts.onMessage([&](const auto&) { messageAt = rig.clock.nowMicroseconds(); });
        QVERIFY(!rig.send(7, fileSlots(64, 8)));
        QCOMPARE(rig.prompts.log(), (QStringList{"beep", "message:Communication Error"}));
        QCOMPARE(messageAt / 1000, std::int64_t{failedAfterMs});
        QVERIFY(rig.dataAfterAddressPhase().isEmpty());
        rig.verifyRestingState();
    }

    // Bytes left from an earlier exchange are read by the ready wait, not
    // discarded first; they only restart it.
    void bytesWaitingBeforeTheDownloadAreReadByTheReadyWait()
    {
        DownloadRig rig;
        rig.switchBox.card(2).setFirmwareVersion("QLREM ver1.07 US");
        rig.link.versionAddressPhase(2, protocol::FirmwareVersionCommand);
        rig.clock.sleep(50);
        QVERIFY(rig.port.inBufferCount() > 0);
        const QStringList fileSlotList = fileSlots(64, 9);
        QVERIFY(rig.send(7, fileSlotList));
        QCOMPARE(rig.switchBox.card(7).images(), QList<QStringList>{expectedImage(fileSlotList)});
    }

    void runTimeErrorEndsAsAFailure_data()
    {
        QTest::addColumn<bool>("unplug");
        QTest::newRow("port unplugged") << true;
        // The record before was just acknowledged.
        QTest::newRow("error while showing the next record") << false;
    }
    // The face returns to rest, and the result is a failure whatever the
    // last acknowledgement said.
    void runTimeErrorEndsAsAFailure()
    {
        QFETCH(bool, unplug);
        DownloadRig rig;
        if (unplug) {
            rig.clock.post(200000, [&] { rig.devices.setRemoved(1, true); });
        } else {
            rig.events.onLine = [bars = 0](const QString& line) mutable {
                if (line.startsWith(QLatin1String("bar:")) && ++bars == 5)
                    throw RuntimeError(RuntimeError::DeviceUnavailable, QStringLiteral("gone"));
            };
        }
        QVERIFY(!rig.send(7, fileSlots(400, 11)));
        QVERIFY(!rig.link.replyReceived);
        QCOMPARE(rig.events.lines.constLast(), QStringLiteral("interrupted"));
        // A vanished device is told once; other errors pass silently.
        const QStringList told{"beep", "message:Communication Error"};
        QCOMPARE(rig.prompts.log(), unplug ? told : QStringList());
        QVERIFY(rig.switchBox.card(7).images().isEmpty());
        // The error struck inside a wait: no timer is left running.
        rig.verifyRestingState();
    }

    // --- Update run ----------------------------------------------------------

    // A card flagged by an earlier command stays out of this run's group.
    void remoteRunFlagsOnlyItsCards()
    {
        DownloadRig rig;
        link::RemoteCardFlags flags = flagsFor({10, 50});
        QList<int> readBack;
        link::UpdatePlan plan;
        plan.scope = link::Scope::RemoteCards;
        plan.records = fileSlots(64, 12);
        plan.fileLength = bytesOf(plan.records).size();
        plan.remoteCards = {3, 40};
        plan.remoteCardCount = 63;
        link::UpdateRun(rig.link, rig.events, [&](int scope) { readBack << scope; })
            .run(plan, flags);

        QVERIFY(rig.switchBox.trace().pcText().startsWith("m83 m11 mA8 m11 s00 "));
        QCOMPARE(flags, flagsFor({3, 40}));
        QCOMPARE(readBack, QList<int>{1});
        // Stored, over, then the programming wait and back to rest.
        const QStringList& lines = rig.events.lines;
        QCOMPARE(lines.mid(lines.indexOf("stored:128"), 5),
                 (QStringList{"stored:128", "ends:128", "over:128", "stage:4", "bar:0"}));
        QCOMPARE(lines.mid(lines.size() - 5),
                 (QStringList{"stage:3", "bar:0", "stage:5", "outcome:1", "end"}));
    }

    void managerRun_data()
    {
        QTest::addColumn<bool>("languageChange");
        QTest::newRow("same language") << false;
        QTest::newRow("language change") << true;
    }
    // The second image first, then the first, on one scale; the bar goes on
    // from where the first download and the creep left it.
    void managerRun()
    {
        QFETCH(bool, languageChange);
        DownloadRig rig;
        link::UpdatePlan plan = managerPlan(13, "QLMGR ver2.32 DE", 600);
        plan.languageChange = languageChange;
        QList<int> readBack;
        link::RemoteCardFlags flags = flagsFor({5});
        const std::int64_t start = rig.clock.nowMicroseconds();
        link::UpdateRun(rig.link, rig.events, [&](int scope) { readBack << scope; })
            .run(plan, flags);

        QCOMPARE(
            rig.switchBox.card(1).images(),
            (QList<QStringList>{expectedImage(plan.secondImage), expectedImage(plan.firstImage)}));
        QCOMPARE(flags, link::RemoteCardFlags{});
        QCOMPARE(readBack, QList<int>{4});
        QCOMPARE(rig.prompts.log(), QStringList{"message:Warning"});
        QCOMPARE(rig.prompts.messages().front().text,
                 QStringLiteral("Now Your OSD Hot Key has been reset to Shift-Shift"));
        QCOMPARE(rig.prompts.messages().front().style, 0x10030);
        QCOMPARE(rig.events.lines.contains("stage:4"), languageChange);

        // Apart from the first download's closing "100, 0", the bar never falls back.
        const QStringList lines = rig.events.lines;
        const qsizetype secondBegins = lines.indexOf("begins:1", lines.indexOf("begins:1") + 1);
        QVERIFY(secondBegins > 0);
        int lastOfFirst = 0;
        for (const QString& line : lines.mid(0, lines.indexOf("stored:1")).filter("bar:")) {
            if (line != "bar:100" && line != "bar:0")
                lastOfFirst = line.mid(4).toInt();
        }
        const int firstOfSecond = lines.mid(secondBegins).filter("bar:").constFirst().mid(4).toInt();
        // The creeps end ten above the first image's last record.
        QVERIFY(lastOfFirst > 20);
        QVERIFY2(firstOfSecond >= lastOfFirst, qPrintable(QString::number(firstOfSecond)));
        QVERIFY(!lines.mid(secondBegins).contains("stage:0"));
        // Programming waits: 101 steps of 150 ms with a language change.
        const std::int64_t elapsedMs = (rig.clock.nowMicroseconds() - start) / 1000;
        QVERIFY2(languageChange ? elapsedMs > 15250 : elapsedMs < 6000,
                 qPrintable(QString::number(elapsedMs)));
        rig.verifyRestingState();
    }

    void managerRunStopsAfterAFailedFirstDownload()
    {
        DownloadRig rig;
        const link::UpdatePlan plan = managerPlan(15, "QLMGR ver2.32 US", 100);
        rig.switchBox.card(1).scriptRecordAnswers(0, {Aborted});
        QList<int> readBack;
        link::RemoteCardFlags flags{};
        link::UpdateRun(rig.link, rig.events, [&](int scope) { readBack << scope; })
            .run(plan, flags);

        QCOMPARE(rig.switchBox.trace().pcText().count("m81 m11"), 1);
        QVERIFY(!rig.dataAfterAddressPhase().contains(plan.firstImage.at(0).left(77).toLatin1()));
        QVERIFY(readBack.isEmpty());
        QCOMPARE(rig.prompts.log(), (QStringList{"beep", "message:Verification Error"}));
        QCOMPARE(rig.events.lines.mid(rig.events.lines.size() - 2),
                 (QStringList{"outcome:0", "end"}));
    }
};

QTEST_GUILESS_MAIN(DownloadTest)
#include "tst_download.moc"
