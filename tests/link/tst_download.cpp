#include "firmwaremaker.h"
#include "link/download.h"
#include "link/updaterun.h"
#include "linkrig.h"
#include "recordingevents.h"

using namespace quorlink;
using sim::Answer;
using sim::NoAnswer;
namespace maker = firmware::maker;
namespace protocol = link::protocol;

Q_DECLARE_METATYPE(QList<Answer>)

namespace {

constexpr Answer Refused = protocol::RecordRefused;
constexpr Answer Aborted = protocol::DownloadAborted;

// Records as a file holds them, CR LF included, and a last slot that is
// never sent as it stands.
QStringList fileSlots(int dataBytes, std::uint32_t seed)
{
    QStringList lines = maker::FirmwareMaker(seed).imageRecordTexts(
        maker::makeImage(0x2000, dataBytes, {}, seed));
    for (QString& slot : lines)
        slot += QStringLiteral("\r\n");
    return lines << QStringLiteral(":00000001FF\r\n");
}

// What a card must receive: every record but the last, as stored, then the
// fixed end record.
QStringList expectedImage(const QStringList& lines)
{
    QStringList image;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i)
        image << lines.at(i).left(protocol::RecordLength);
    return image << QString(protocol::EndRecord);
}

QByteArray recordBytes(const QStringList& lines, int i)
{
    return lines.at(i).left(protocol::RecordLength).toLatin1();
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
    QList<int> readBack;

    bool send(int target, const QStringList& lines, const QList<int>& group = {})
    {
        link::DownloadProgress progress;
        progress.progressUnit = float(lines.join(QString()).size() / 100.0);
        return download.downloadToCard(target, lines, flagsFor(group), progress);
    }

    void run(const link::UpdatePlan& plan, link::RemoteCardFlags& flags)
    {
        link::UpdateRun(link, events, [this](link::Scope scope) {
            readBack << static_cast<int>(scope);
        }).run(plan, flags);
    }

    // The PC's bytes after the address phase's closing 0x00.
    QByteArray dataAfterAddressPhase() const
    {
        QByteArray data;
        bool afterZero = false;
        for (const sim::PcByte& byte : switchBox.trace().pcBytes()) {
            if (afterZero)
                data.append(static_cast<char>(byte.value));
            afterZero = afterZero || (byte.parity == Parity::Space && byte.value == 0);
        }
        return data;
    }

    QStringList lastEvents(int n) const { return events.lines.mid(events.lines.size() - n); }
};

} // namespace

class DownloadTest : public QObject
{
    Q_OBJECT

private slots:
    // Timeouts, refusals and other bytes share five attempts; the last
    // failure names the message.
    void recordAnswers_data()
    {
        QTest::addColumn<QList<Answer>>("answers");
        QTest::addColumn<QString>("message"); // empty: stored
        QTest::newRow("refused four times, then accepted")
            << QList<Answer>{Refused, Refused, Refused, Refused} << "";
        QTest::newRow("refused, timeout, refused, other byte, refused")
            << QList<Answer>{Refused, NoAnswer, Refused, 0x41, Refused} << "Verification Error";
        QTest::newRow("aborted at once") << QList<Answer>{Aborted} << "Verification Error";
        QTest::newRow("timeout last after refusals")
            << QList<Answer>{Refused, Refused, Refused, Refused, NoAnswer}
            << "Communication Error";
    }
    void recordAnswers()
    {
        QFETCH(QList<Answer>, answers);
        QFETCH(QString, message);
        const bool stored = message.isEmpty();
        DownloadRig rig;
        const QStringList lines = fileSlots(100, 5);
        rig.switchBox.card(7).scriptRecordAnswers(1, answers);
        const int opensBefore = rig.devices.openCount();
        QCOMPARE(rig.send(7, lines), stored);

        const int sent = std::min<int>(answers.size() + (stored ? 1 : 0), 5);
        QCOMPARE(rig.dataAfterAddressPhase().count(recordBytes(lines, 1)), sent);
        QCOMPARE(rig.switchBox.card(7).images().size(), stored ? 1 : 0);
        QCOMPARE(rig.prompts.log(),
                 stored ? QStringList() : (QStringList{"beep", "message:" + message}));
        rig.verifyRestingState();
        if (stored)
            return;
        QCOMPARE(rig.devices.openCount(), opensBefore + 1); // reopened
        QCOMPARE(rig.lastEvents(3), (QStringList{"bar:0", "stage:3", "ends:7"}));
        QVERIFY(!rig.dataAfterAddressPhase().contains(recordBytes(lines, 2)));
    }

    // A refusal that comes after the wait gave up must not answer the
    // resend: every later answer would land one record late.
    void lateAnswerDoesNotAnswerTheResend()
    {
        DownloadRig rig;
        const QStringList lines = fileSlots(200, 7);
        rig.switchBox.card(7).scriptRecordAnswers(1, {Refused}).delayRecordAnswers(1, {960});
        QVERIFY(rig.send(7, lines));
        QCOMPARE(rig.switchBox.card(7).images(), QList<QStringList>{expectedImage(lines)});
        QCOMPARE(rig.dataAfterAddressPhase(),
                 expectedImage(lines).join(QString()).toLatin1().insert(77, recordBytes(lines, 1)));
    }

    // The face returns to rest, the device's loss is told once, and the
    // result is a failure whatever the last acknowledgement said.
    void anUnpluggedPortEndsTheDownloadAsAFailure()
    {
        DownloadRig rig;
        rig.clock.post(200000, [&] { rig.devices.setRemoved(1, true); });
        QVERIFY(!rig.send(7, fileSlots(400, 11)));
        QCOMPARE(rig.events.lines.constLast(), QStringLiteral("interrupted"));
        QCOMPARE(rig.prompts.log(), (QStringList{"beep", "message:Communication Error"}));
        QVERIFY(rig.switchBox.card(7).images().isEmpty());
        rig.verifyRestingState();
    }

    // A card flagged by an earlier command stays out of this run's group;
    // cards past 33 sit in the flags' second half.
    void remoteRunFlagsOnlyItsCards()
    {
        DownloadRig rig;
        link::RemoteCardFlags flags = flagsFor({10, 50});
        link::UpdatePlan plan;
        plan.scope = link::Scope::RemoteCards;
        plan.records = fileSlots(64, 12);
        plan.fileLength = plan.records.join(QString()).size();
        plan.remoteCards = {3, 40};
        plan.remoteCardCount = 63;
        rig.run(plan, flags);

        QCOMPARE(flags, flagsFor({3, 40}));
        for (int card = 1; card <= 64; ++card) {
            QCOMPARE(rig.switchBox.card(card).images(),
                     card == 3 || card == 40 ? QList<QStringList>{expectedImage(plan.records)}
                                             : QList<QStringList>{});
        }
        QCOMPARE(rig.readBack, QList<int>{1});
        QCOMPARE(rig.lastEvents(5), (QStringList{"stage:3", "bar:0", "stage:5", "outcome:1", "end"}));
    }

    // The second image first, then the first, and with a language change
    // the long programming wait (101 steps of 150 ms); a failed first
    // download ends the run.
    void managerRun_data()
    {
        QTest::addColumn<bool>("firstFails");
        QTest::newRow("language change") << false;
        QTest::newRow("first download fails") << true;
    }
    void managerRun()
    {
        QFETCH(bool, firstFails);
        DownloadRig rig;
        const QStringList texts = maker::FirmwareMaker(13).managerRecordTexts(
            maker::makeImage(0x2000, 600, QStringLiteral("QLMGR ver2.32 DE"), 13),
            maker::makeImage(0x3000, 300, {}, 14));
        qsizetype split = 0;
        while (!texts.at(split).startsWith(protocol::EndRecord))
            ++split;
        link::UpdatePlan plan;
        plan.scope = link::Scope::ManagementCard;
        plan.firstImage = texts.mid(0, split + 1);
        plan.secondImage = texts.mid(split + 1);
        plan.fileLength = texts.join(QString()).size() + 2 * texts.size();
        plan.languageChange = true;
        if (firstFails)
            rig.switchBox.card(1).scriptRecordAnswers(0, {Aborted});
        link::RemoteCardFlags flags = flagsFor({5});
        rig.run(plan, flags);

        QCOMPARE(rig.lastEvents(2), (QStringList{QStringLiteral("outcome:%1").arg(int(!firstFails)), "end"}));
        const QList<QStringList> images{expectedImage(plan.secondImage),
                                        expectedImage(plan.firstImage)};
        QCOMPARE(rig.switchBox.card(1).images(), firstFails ? QList<QStringList>{} : images);
        QCOMPARE(rig.events.lines.contains("stage:4"), !firstFails);
        if (firstFails) {
            QCOMPARE(rig.switchBox.trace().pcText().count("m81 m11"), 1);
            QVERIFY(rig.readBack.isEmpty());
            QCOMPARE(rig.prompts.log(), (QStringList{"beep", "message:Verification Error"}));
        } else {
            QCOMPARE(flags, link::RemoteCardFlags{});
            QVERIFY2(rig.clock.nowMicroseconds() > 15'250'000,
                     qPrintable(QString::number(rig.clock.nowMicroseconds())));
        }
        rig.verifyRestingState();
    }
};

QTEST_GUILESS_MAIN(DownloadTest)
#include "tst_download.moc"
