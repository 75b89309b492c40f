#include "firmwaremaker.h"
#include "firmware/firmwarereader.h"
#include "link/link.h"
#include "link/protocol.h"
#include "link/updatepreparation.h"
#include "link/versionrun.h"
#include "platform/commport.h"
#include "recordingprompts.h"
#include "recordingview.h"
#include "seriallinedevices.h"
#include "sim/simulatedport.h"
#include "sim/simulatedswitch.h"
#include "sim/virtualclock.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace quorlink;
using Outcome = link::UpdatePreparation::Outcome;
namespace maker = firmware::maker;

Q_DECLARE_METATYPE(Outcome)

namespace {

// A switch at COM1 on the virtual clock, its cards answering as shipped, and
// the face of a program that answers the confirmation as told.
struct Preparation final : link::PreparationFace
{
    sim::VirtualClock clock;
    sim::SimulatedSwitch switchBox{clock};
    sim::SimulatedDeviceProvider devices{switchBox, 1};
    test::SerialLineDevices serialLines{devices};
    CommPort port;
    std::unique_ptr<LinkTimer> timer1 = clock.createTimer();
    std::unique_ptr<LinkTimer> timer2 = clock.createTimer();
    test::RecordingPrompts prompts;
    link::Link link{port, *timer1, *timer2, clock, prompts};
    test::RecordingView view;
    QList<int> cards;
    bool confirm = false;
    bool confirmAsked = false;

    explicit Preparation(bool serialLine) 
        : port(serialLine ? static_cast<DeviceProvider&>(serialLines) : devices)
    {
        switchBox.card(1).setFirmwareVersion(QStringLiteral("QLMGR ver2.31 US"));
        port.setSettings(link::protocol::DataSettings);
        port.setCommPort(1);
        port.setPortOpen(true);
    }

    link::Link* openLink() override { return link.checkPortOpen() ? &link : nullptr; }
    void readVersions(int scope) override
    {
        link::VersionRun(link, view, {false, true}).getVersions(scope, cards);
    }
    QString managerVersionText() const override
    {
        const QStringList stored = view.stepsOf(QStringLiteral("store:1:"));
        return stored.isEmpty() ? QString() : stored.last();
    }
    bool confirmUpdate() override
    {
        confirmAsked = true;
        return confirm;
    }
    QList<int> remoteCards() const override { return cards; }

    // "beep", "Title 0x10030: text" in order; the file's folder as FOLDER.
    QStringList promptsSeen(const QString& folder) const
    {
        QStringList seen;
        for (const auto& entry : prompts.entries()) {
            seen << (entry.kind == test::RecordingPrompts::Entry::Beep
                         ? QStringLiteral("beep")
                         : QStringLiteral("%1 0x%2: %3")
                               .arg(entry.title)
                               .arg(entry.style, 0, 16)
                               .arg(QString(entry.text).replace(folder, "FOLDER")));
        }
        return seen;
    }

    // "3:1 5:1": the cards that took images, and how many.
    QString received() const
    {
        QStringList cardsReceived;
        for (int card = 1; card <= 64; ++card) {
            if (const auto images = switchBox.card(card).images(); !images.isEmpty())
                cardsReceived << QStringLiteral("%1:%2").arg(card).arg(images.size());
        }
        return cardsReceived.join(u' ');
    }
};

// Writes the file a row names: "rem" or "mgt" files of `version`, a corrupt
// record or the sample mark on request.
QString writeFile(const QString& folder, const QString& name, const QString& version,
                  bool corrupt, bool sample)
{
    maker::FirmwareMaker fileMaker(41);
    maker::Image image = maker::makeImage(0x2000, 200, version, 41);
    if (sample)
        maker::markAsSample(image, version);
    QStringList texts = name.contains(QLatin1String("mgt"))
                            ? fileMaker.managerRecordTexts(image,
                                                           maker::makeImage(0x3000, 100, {}, 42))
                            : fileMaker.remoteRecordTexts(image);
    if (corrupt)
        texts[2][20] = texts[2][20] == u'0' ? u'1' : u'0';
    const QString path = QDir(folder).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(fileMaker.fileContents(texts)) < 0)
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

const QString CommunicationError = QStringLiteral(
    "Communication Error 0x10010: Communication Error\r\n\r\n1. Check Serial Cable\r\n"
    "2. Check Com Port Settings\r\n3. Check \"Upgrade\" (F10) Function");

} // namespace

class UpdatePreparationTest : public QObject
{
    Q_OBJECT

private slots:
    // Start from the choice to the run: what the user is told and asked, in
    // order, whether the cards were asked for their versions at all, and
    // which cards take the file when the run follows.
    void preparation_data()
    {
        QTest::addColumn<QList<int>>("cards"); // {1}: the management card; {}: none
        QTest::addColumn<QString>("file");     // "name version [corrupt] [sample]"; "": none
        QTest::addColumn<QString>("silent");   // "", "1" (late for the query), "3" (no answer)
        QTest::addColumn<bool>("serialLine");
        QTest::addColumn<QList<int>>("answers"); // to the message boxes, in order
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QStringList>("prompts");
        QTest::addColumn<bool>("queried");
        QTest::addColumn<QString>("received");
        const QString remote = QStringLiteral("qdx_rem108_e.hex QLREM ver1.08 US");
        const auto manager = [](const char* language) {
            return QStringLiteral("qdx_mgt232_e.hex QLMGR ver2.32 ") + language;
        };
        const QString question = QStringLiteral("Warning 0x34: Your OSD language will be ");
        const QString wrongHex = QStringLiteral("File Error 0x10010: File is in wrong hex format!");
        const int yes = MessageResult::Yes;
        const int no = MessageResult::No;

        QTest::newRow("remote cards, confirmed") << QList<int>{3, 5} << remote << "" << false
                                                 << QList<int>{} << true << Outcome::Run
                                                 << QStringList{} << true << "3:1 5:1";
        QTest::newRow("remote card, not confirmed")
            << QList<int>{4} << remote << "" << false << QList<int>{} << false
            << Outcome::NotConfirmed << QStringList{} << true << "";
        QTest::newRow("no file") << QList<int>{4} << "" << "" << false << QList<int>{} << true
                                 << Outcome::Ended
                                 << QStringList{"beep",
                                                "Warning 0x10030: You must choose file for update"}
                                 << false << "";
        // The file is read and tested before the missing selection is reported.
        QTest::newRow("no card") << QList<int>{} << remote << "" << false << QList<int>{} << true
                                 << Outcome::Ended
                                 << QStringList{"beep",
                                                "Warning 0x10030: You must choose card(s) for "
                                                "update"}
                                 << false << "";
        QTest::newRow("no card, corrupt file")
            << QList<int>{} << remote + " corrupt" << "" << false << QList<int>{} << true
            << Outcome::FileRefused << QStringList{"beep", wrongHex} << false << "";
        QTest::newRow("management file for a remote card")
            << QList<int>{2} << manager("US") << "" << false << QList<int>{} << true
            << Outcome::FileRefused
            << QStringList{"File Error 0x10030: You have selected wrong file"} << false << "";
        QTest::newRow("bad checksum") << QList<int>{5} << remote + " corrupt" << "" << false
                                      << QList<int>{} << true << Outcome::FileRefused
                                      << QStringList{"beep", wrongHex} << false << "";
        QTest::newRow("sample on a serial line")
            << QList<int>{3} << remote + " sample" << "" << true << QList<int>{} << true
            << Outcome::FileRefused
            << QStringList{"beep", "File Error 0x10010: This is a sample file made for the "
                                   "simulated switch; it is not firmware for a real switch."}
            << false << "";
        QTest::newRow("sample on the simulated switch")
            << QList<int>{3} << remote + " sample" << "" << false << QList<int>{} << true
            << Outcome::Run << QStringList{} << true << "3:1";
        QTest::newRow("management card, same language")
            << QList<int>{1} << manager("US") << "" << false << QList<int>{} << true
            << Outcome::Run << QStringList{} << true << "1:2";
        QTest::newRow("management card, language change, Yes")
            << QList<int>{1} << manager("DE") << "" << false << QList<int>{yes} << true
            << Outcome::Run
            << QStringList{question +
                           "changed from English to German (Standard)\r\nContinue (Y/N)?"}
            << true << "1:2";
        QTest::newRow("management card, language change, No")
            << QList<int>{1} << manager("JP") << "" << false << QList<int>{no} << true
            << Outcome::LanguageDeclined
            << QStringList{question + "changed from English to Japanese\r\nContinue (Y/N)?"}
            << true << "";
        QTest::newRow("management card, unknown language")
            << QList<int>{1} << manager("XX") << "" << false << QList<int>{} << true
            << Outcome::FileRefused << QStringList{"beep", wrongHex} << true << "";
        // Silent, perhaps for broken firmware: the question alone lets the run go.
        QTest::newRow("silent management card, Yes")
            << QList<int>{1} << manager("DE") << "1" << false << QList<int>{1, yes} << false
            << Outcome::Run
            << QStringList{"beep", CommunicationError,
                           question + "set to German (Standard)\r\nContinue (Y/N)?"}
            << true << "1:2";
        QTest::newRow("silent management card, No")
            << QList<int>{1} << manager("US") << "1" << false << QList<int>{1, no} << true
            << Outcome::LanguageDeclined
            << QStringList{"beep", CommunicationError,
                           question + "set to English\r\nContinue (Y/N)?"}
            << true << "";
        QTest::newRow("silent remote card") << QList<int>{2, 3} << remote << "3" << false
                                            << QList<int>{} << true << Outcome::NoAnswer
                                            << QStringList{"beep", CommunicationError} << true
                                            << "";
    }
    void preparation()
    {
        QFETCH(QList<int>, cards);
        QFETCH(QString, file);
        QFETCH(QString, silent);
        QFETCH(bool, serialLine);
        QFETCH(QList<int>, answers);
        QFETCH(bool, confirm);
        QFETCH(Outcome, outcome);
        QFETCH(QStringList, prompts);
        QFETCH(bool, queried);
        QFETCH(QString, received);
        QTemporaryDir folder;
        const QStringList parts = file.split(u' ');
        const QString path = file.isEmpty()
                                 ? QString()
                                 : writeFile(folder.path(), parts[0], parts.mid(1, 3).join(u' '),
                                             parts.contains("corrupt"), parts.contains("sample"));
        Preparation rig(serialLine);
        rig.cards = cards == QList<int>{1} ? QList<int>{} : cards;
        rig.confirm = confirm;
        if (silent == "1")
            rig.switchBox.card(1).setReplyDelay(600); // in time for the download only
        else if (!silent.isEmpty())
            rig.switchBox.card(silent.toInt()).setSilent(true);
        for (const int answer : answers)
            rig.prompts.scriptAnswer(answer);
        const int scope = cards.isEmpty()             ? link::Scope::None
                          : cards == QList<int>{1}    ? link::Scope::ManagementCard
                                                      : link::Scope::RemoteCards;
        firmware::FirmwareReader reader;
        link::UpdatePreparation preparation(rig, rig.prompts, rig.clock, reader);

        QCOMPARE(preparation.prepare({path, scope, 63}), outcome);

        QCOMPARE(rig.promptsSeen(folder.path()), prompts);
        QCOMPARE(!rig.switchBox.trace().pcBytes().empty(), queried);
        // The confirmation follows the answers and a file that does.
        QCOMPARE(rig.confirmAsked, queried && silent.isEmpty() && !file.contains("XX") &&
                                       !answers.contains(MessageResult::No));
        QCOMPARE(preparation.plan().languageChange, answers.contains(MessageResult::Yes));
        if (outcome == Outcome::Run) {
            link::RemoteCardFlags flags{};
            link::UpdateRun(rig.link, rig.view, [](int) {}).run(preparation.plan(), flags);
        }
        QCOMPARE(rig.received(), received);
    }

    // The tool reports a missing file as Open does; the window's Start finds
    // it unreadable. Neither sends anything.
    void missingFile_data()
    {
        QTest::addColumn<bool>("reportMissingFile");
        QTest::addColumn<QStringList>("prompts");
        QTest::newRow("as missing") << true
                                    << QStringList{"File Error 0x10010: File FOLDER/qdx_rem1_e.hex "
                                                   "not found"};
        QTest::newRow("as unreadable")
            << false
            << QStringList{"beep", "Disk Drive Error 0x10010: Cannot read FOLDER/qdx_rem1_e.hex"};
    }
    void missingFile()
    {
        QFETCH(bool, reportMissingFile);
        QFETCH(QStringList, prompts);
        QTemporaryDir folder;
        Preparation rig(false);
        rig.cards = {3};
        firmware::FirmwareReader reader;
        link::UpdatePreparation preparation(rig, rig.prompts, rig.clock, reader);
        QCOMPARE(preparation.prepare({folder.filePath("qdx_rem1_e.hex"), link::Scope::RemoteCards,
                                      63, reportMissingFile}),
                 Outcome::FileRefused);
        QCOMPARE(rig.promptsSeen(folder.path()), prompts);
        QVERIFY(rig.switchBox.trace().pcBytes().empty());
    }
};

QTEST_MAIN(UpdatePreparationTest)
#include "tst_updatepreparation.moc"
