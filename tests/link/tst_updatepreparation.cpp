#include "firmware/firmwarereader.h"
#include "firmwaremaker.h"
#include "link/updatepreparation.h"
#include "link/versionrun.h"
#include "linkrig.h"
#include "recordingevents.h"

#include <QDir>
#include <QTemporaryDir>

using namespace quorlink;
using Outcome = link::UpdatePreparation::Outcome;
namespace maker = firmware::maker;

Q_DECLARE_METATYPE(Outcome)

namespace {

// The rig's switch, its management card on US English, and the face of a
// program that answers the confirmation as told.
struct Preparation final : test::Rig, link::PreparationFace
{
    test::RecordingEvents view;
    QList<int> cards;
    bool confirm = true;
    bool confirmAsked = false;

    explicit Preparation(const QString& line) : Rig(line == QLatin1String("serial"))
    {
        switchBox.card(1).setFirmwareVersion(QStringLiteral("QLMGR ver2.31 US"));
    }

    link::Link* openLink() override { return link.checkPortOpen() ? &link : nullptr; }
    void readVersions(link::Scope scope) override
    {
        link::VersionRun(link, view, {false, true}).getVersions(scope, cards);
    }
    QString managerVersionText() const override
    {
        const QStringList stored = view.of(QStringLiteral("answer:1:"));
        return stored.isEmpty() ? QString() : stored.last();
    }
    bool confirmUpdate() override
    {
        confirmAsked = true;
        return confirm;
    }
    QList<int> remoteCards() const override { return cards; }

    // "beep", "Title 0x10030: text" in order.
    QStringList promptsSeen() const
    {
        QStringList seen;
        for (const auto& entry : prompts.entries()) {
            seen << (entry.kind == test::RecordingPrompts::Entry::Beep
                         ? QStringLiteral("beep")
                         : QStringLiteral("%1 0x%2: %3").arg(entry.title).arg(entry.style, 0, 16).arg(entry.text));
        }
        return seen;
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
    // order, and whether the cards were asked for their versions at all.
    void preparation_data()
    {
        QTest::addColumn<QList<int>>("cards"); // {1}: the management card; {}: none
        // "name version [corrupt] [sample]"; "": none
        QTest::addColumn<QString>("file");
        // "serial" (a serial line), "late" (card 1 too late for the query),
        // "gone" (the device); "": all well
        QTest::addColumn<QString>("line");
        QTest::addColumn<QList<int>>("answers"); // to the message boxes, in order
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QStringList>("prompts");
        QTest::addColumn<bool>("queried");
        const QString remote = QStringLiteral("qdx_rem108_e.hex QLREM ver1.08 US");
        const auto manager = [](const char* language) {
            return QStringLiteral("qdx_mgt232_e.hex QLMGR ver2.32 ") + language;
        };
        const QString question = QStringLiteral("Warning 0x34: Your OSD language will be ");
        const QString wrongHex = QStringLiteral("File Error 0x10010: File is in wrong hex format!");
        const QList<int> none;
        const int yes = MessageResult::Yes;
        const int no = MessageResult::No;
        const auto row = [](const char* name, const QList<int>& cards, const QString& file,
                            const char* line, const QList<int>& answers, Outcome outcome,
                            const QStringList& prompts, bool queried) {
            QTest::newRow(name) << cards << file << QString(line) << answers << outcome << prompts
                                << queried;
        };
        row("remote card, not confirmed", {4}, remote, "", none, Outcome::NotConfirmed, {}, true);
        row("no file", {4}, "", "", none, Outcome::Ended,
            {"beep", "Warning 0x10030: You must choose file for update"}, false);
        // The file is read and tested before the missing selection is reported.
        row("no card", {}, remote, "", none, Outcome::Ended,
            {"beep", "Warning 0x10030: You must choose card(s) for update"}, false);
        row("no card, corrupt file", {}, remote + " corrupt", "", none, Outcome::FileRefused,
            {"beep", wrongHex}, false);
        row("management file for a remote card", {2}, manager("US"), "", none,
            Outcome::FileRefused, {"File Error 0x10030: You have selected wrong file"}, false);
        row("sample on a serial line", {3}, remote + " sample", "serial", none,
            Outcome::FileRefused,
            {"beep", "File Error 0x10010: This is a sample file made for the simulated switch; "
                     "it is not firmware for a real switch."},
            false);
        // Reported once; nothing more is asked or sent.
        row("port lost", {1}, manager("DE"), "gone", none, Outcome::NoAnswer,
            {"beep", CommunicationError}, false);
        row("management card, language change, Yes", {1}, manager("DE"), "", {yes}, Outcome::Run,
            {question + "changed from English to German (Standard)\r\nContinue (Y/N)?"}, true);
        row("management card, language change, No", {1}, manager("JP"), "", {no},
            Outcome::LanguageDeclined,
            {question + "changed from English to Japanese\r\nContinue (Y/N)?"}, true);
        row("management card, unknown language", {1}, manager("XX"), "", none,
            Outcome::FileRefused, {"beep", wrongHex}, true);
        // Silent, perhaps for broken firmware: the question alone lets the run go.
        row("silent management card, Yes", {1}, manager("DE"), "late", {1, yes}, Outcome::Run,
            {"beep", CommunicationError, question + "set to German (Standard)\r\nContinue (Y/N)?"},
            true);
    }
    void preparation()
    {
        QFETCH(QList<int>, cards);
        QFETCH(QString, file);
        QFETCH(QString, line);
        QFETCH(QList<int>, answers);
        QFETCH(Outcome, outcome);
        QFETCH(QStringList, prompts);
        QFETCH(bool, queried);
        QTemporaryDir folder;
        const QStringList parts = file.split(u' ');
        const QString path =
            file.isEmpty() ? QString()
                           : writeFile(folder.path(), parts[0], parts.mid(1, 3).join(u' '),
                                       parts.contains("corrupt"), parts.contains("sample"));
        Preparation rig(line);
        const bool manager = cards == QList<int>{1};
        rig.cards = manager ? QList<int>{} : cards;
        rig.confirm = outcome != Outcome::NotConfirmed;
        if (line == "gone")
            rig.devices.setRemoved(1, true);
        rig.switchBox.card(1).setReplyDelay(line == "late" ? 600 : 0);
        for (const int answer : answers)
            rig.prompts.scriptAnswer(answer);
        const link::Scope scope = cards.isEmpty() ? link::Scope::None
                                  : manager       ? link::Scope::ManagementCard
                                                  : link::Scope::RemoteCards;
        firmware::FirmwareReader reader;
        link::UpdatePreparation preparation(rig, rig.prompts, rig.clock, reader);

        QCOMPARE(preparation.prepare({path, scope, 63, true}),
                 outcome);

        QCOMPARE(rig.promptsSeen(), prompts);
        QCOMPARE(!rig.switchBox.trace().pcBytes().empty(), queried);
        // The confirmation follows the answers and a file that does.
        QCOMPARE(rig.confirmAsked, queried && line.isEmpty() && !file.contains("XX") &&
                                       !answers.contains(MessageResult::No));
        QCOMPARE(preparation.plan().languageChange, answers.contains(MessageResult::Yes));
    }
};

QTEST_MAIN(UpdatePreparationTest)
#include "tst_updatepreparation.moc"
