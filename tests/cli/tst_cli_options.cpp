#include "cli/cardlist.h"

#include <QTest>

using namespace quorlink::cli;

// The card LIST every switch command takes.
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
        QTest::newRow("card 65") << "2,65" << QList<int>{} << notACard;
        QTest::newRow("reversed range") << "10-2" << QList<int>{} << notACard;
        QTest::newRow("empty item") << "2,,3" << QList<int>{} << notACard;
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
};

QTEST_GUILESS_MAIN(CliOptionsTest)
#include "tst_cli_options.moc"
