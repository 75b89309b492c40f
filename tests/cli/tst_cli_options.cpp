#include "cli/cardlist.h"
#include "cli/command.h"
#include "cli/linksession.h"

#include <QCommandLineParser>
#include <QTest>

using namespace quorlink::cli;

// The pieces every switch command shares: the card LIST and the options that
// choose the switch.
class CliOptionsTest : public QObject
{
    Q_OBJECT

    static QList<int> range(int first, int last)
    {
        QList<int> cards;
        for (int card = first; card <= last; ++card)
            cards.append(card);
        return cards;
    }

private slots:
    // An empty `problem` means the list is accepted as `cards`.
    void cardList_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("cards");
        QTest::addColumn<QString>("problem");
        const QString notACard = QStringLiteral("is not a card from 1 to 64");
        const QString together = QStringLiteral("management card (1) cannot be taken together");
        QTest::newRow("management card alone") << "1" << QList<int>{1} << QString();
        QTest::newRow("ranges and singles, sorted, overlaps once")
            << "40,3-6, 5-8,8" << QList<int>{3, 4, 5, 6, 7, 8, 40} << QString();
        QTest::newRow("ALL with a card inside") << "ALL,64" << range(2, 64) << QString();
        QTest::newRow("range over the management card") << "1-3" << QList<int>{} << together;
        QTest::newRow("management with all") << "all,1" << QList<int>{} << together;
        QTest::newRow("card 0") << "0" << QList<int>{} << notACard;
        QTest::newRow("card 65") << "2,65" << QList<int>{} << notACard;
        QTest::newRow("reversed range") << "10-2" << QList<int>{} << notACard;
        QTest::newRow("empty item") << "2,,3" << QList<int>{} << notACard;
        QTest::newRow("negative") << "-3" << QList<int>{} << notACard;
    }
    void cardList()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, cards);
        QFETCH(QString, problem);
        QString reason;
        const std::optional<QList<int>> parsed = parseCardList(text, reason);
        QCOMPARE(parsed.has_value(), problem.isEmpty());
        if (parsed)
            QCOMPARE(*parsed, cards);
        else
            QVERIFY2(reason.contains(problem), qPrintable(reason));
    }

    void linkOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("com");
        QTest::addColumn<QString>("device");
        QTest::addColumn<bool>("simulate");
        QTest::addColumn<QString>("problem");
        QTest::newRow("defaults") << QStringList{} << 1 << QString() << false << QString();
        QTest::newRow("port and device") << QStringList{"--port", "3", "--device", "/dev/ttyUSB0"}
                                         << 3 << "/dev/ttyUSB0" << false << QString();
        QTest::newRow("simulate on COM2")
            << QStringList{"--simulate", "--port", "2"} << 2 << QString() << true << QString();
        QTest::newRow("port 5") << QStringList{"--port", "5"} << 0 << QString() << false
                                << "COM number must be 1 to 4";
        QTest::newRow("bad mapping") << QStringList{"--com", "7=/dev/x"} << 0 << QString() << false
                                     << "the COM number must be 1 to 4";
        QTest::newRow("simulate and device") << QStringList{"--simulate", "--device", "/dev/ttyS0"}
                                             << 0 << QString() << false << "exclude each other";
        // Two sessions on one device would take each other's replies.
        QTest::newRow("the same device twice")
            << QStringList{"--device", "/dev/ttyS0", "--device", "/dev/ttyS1", "--device",
                           "/dev/ttyS0"}
            << 0 << QString() << false << "\"/dev/ttyS0\" is given twice";
    }
    void linkOptions()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, com);
        QFETCH(QString, device);
        QFETCH(bool, simulate);
        QFETCH(QString, problem);
        QCommandLineParser parser;
        const LinkOptionSet set;
        set.addTo(parser);
        QVERIFY(parser.parse(QStringList{"quorlink"} + arguments));
        QString reason;
        const std::optional<LinkOptions> options = set.read(parser, reason);
        QCOMPARE(options.has_value(), problem.isEmpty());
        if (!options) {
            QVERIFY2(reason.contains(problem), qPrintable(reason));
            return;
        }
        QCOMPARE(options->comNumber, com);
        QCOMPARE(options->device, device);
        QCOMPARE(options->simulate, simulate);
    }
};

QTEST_GUILESS_MAIN(CliOptionsTest)
#include "tst_cli_options.moc"
