#include "progbar/olecolour.h"
#include "progbar/progbar.h"
#include "progbar/propertybag.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quorlink::progbar;

// Property names with values, in the order they are set or read.
using Properties = QList<std::pair<QByteArray, QVariant>>;

class ProgBarTest : public QObject
{
    Q_OBJECT

private slots:
    // Sets `sets` in order on a new bar; `reads` is what the properties
    // hold then, each of them due for storing, and "text" the bar's text.
    void setsApplyTheirRules_data()
    {
        QTest::addColumn<Properties>("sets");
        QTest::addColumn<Properties>("reads");
        const auto row = [](const char* name, const Properties& sets, const Properties& reads) {
            QTest::newRow(name) << sets << reads;
        };
        row("out-of-range enumerations",
            {{"FillDirection", -1}, {"BarStyle", 5}, {"BorderStyle", -2}},
            {{"FillDirection", 3}, {"BarStyle", 1}, {"BorderStyle", 0}});
        row("min up to max", {{"Min", 100}}, {{"Min", 99}});
        row("max down to min", {{"Max", 0}}, {{"Max", 1}});
        row("percent 150", {{"Percent", 150}}, {{"Percent", 100}, {"Value", 100}});
        row("value -5", {{"Value", -5}}, {{"Value", 0}, {"Percent", 0}});
        row("offset range", {{"Min", 10}, {"Max", 20}, {"Value", 15}}, {{"Percent", 50}});
        row("percent floors", {{"Min", 10}, {"Max", 20}, {"Percent", 33}}, {{"Value", 13}});
        // (v - Min) / (Max - Min) × 100 in doubles: 29 / 100 × 100 lands
        // just below 29.
        row("29 of 100", {{"Value", 29}}, {{"Percent", 28}});
        row("29 percent", {{"Percent", 29}}, {{"Value", 28}});
        row("max keeps the percentage", {{"Percent", 50}, {"Max", 200}}, {{"Value", 100}});
        row("min keeps the percentage", {{"Percent", 50}, {"Max", 200}, {"Min", 100}},
            {{"Value", 150}, {"Percent", 50}});
        // Of value and percent, the flag set last is the one shown.
        row("message hidden", {{"Message", "Busy"}}, {{"text", ""}});
        row("percent after value", {{"Value", 30}, {"ShowValue", true}, {"ShowPercent", true}},
            {{"text", "30%"}});
        row("value after percent", {{"Value", 30}, {"ShowPercent", true}, {"ShowValue", true}},
            {{"text", "30/100"}});
        row("message then percent",
            {{"Value", 30}, {"Message", "Busy"}, {"ShowMessage", true}, {"ShowPercent", true}},
            {{"text", "Busy 30%"}});
        row("empty message, no blank", {{"Value", 30}, {"ShowMessage", true}, {"ShowPercent", true}},
            {{"text", "30%"}});
    }
    void setsApplyTheirRules()
    {
        QFETCH(Properties, sets);
        QFETCH(Properties, reads);
        ProgBar bar;
        for (const auto& [property, value] : sets)
            QVERIFY(bar.setProperty(property, value));
        for (const auto& [property, value] : reads) {
            if (property == "text") {
                QCOMPARE(bar.displayText(), value.toString());
                continue;
            }
            QCOMPARE(bar.property(property).toInt(), value.toInt());
            QVERIFY(bar.changedProperties().contains(QString::fromLatin1(property)));
        }
    }

    // The full bar asks for its sound at the end of every paint, so the
    // plays count the repaints; nothing plays short of 100 %, with the sound
    // off or with its file missing.
    void soundPlaysAfterEachRepaintOfAFullBar_data()
    {
        QTest::addColumn<Properties>("sets");
        QTest::addColumn<int>("plays");
        const auto row = [](const char* name, const Properties& sets, int plays) {
            QTest::newRow(name) << sets << plays;
        };
        row("same value again", {{"Value", 100}}, 1);
        row("waiting", {{"WaitForSound", true}, {"FontColour", 0u}}, 1);
        row("99 percent", {{"Percent", 99}}, 0);
        row("sound off", {{"PlaySound", false}, {"FontColour", 0u}}, 0);
        row("file missing", {{"SoundToPlay", "/no/such/done.wav"}, {"FontColour", 0u}}, 0);
    }

    void soundPlaysAfterEachRepaintOfAFullBar()
    {
        QFETCH(Properties, sets);
        QTemporaryDir dir;
        QFile file(dir.filePath("done.wav"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("RIFF") == 4);
        QList<std::pair<QString, bool>> plays;
        ProgBar bar;
        bar.setSoundPlayer([&plays](const QString& path, bool wait) {
            plays.append({path, wait});
            return true;
        });
        bar.setSoundToPlay(file.fileName());
        bar.setPlaySound(true);
        bar.setValue(100);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        QCoreApplication::processEvents();
        plays.clear();
        for (const auto& [property, value] : sets)
            QVERIFY(bar.setProperty(property, value));
        QTEST(int(plays.size()), "plays");
        for (const auto& play : plays)
            QCOMPARE(play, std::make_pair(bar.soundToPlay(), bar.waitForSound()));
    }

    void propertiesSurviveAStoredFile()
    {
        ProgBar original;
        original.setBackColour(0x00C0C0C0);
        original.setFontColour(systemWindowText);
        original.setBorderStyle(0);
        original.setFillDirection(0);
        original.setMax(200);
        original.setMessage(QStringLiteral("Say \"hi\"\nthere"));
        original.setValue(50);
        original.setShowMessage(true);
        original.setShowValue(true);
        original.setSoundToPlay(QStringLiteral("/tmp/done.wav"));
        original.setBarStyle(0);
        original.setWaitForSound(true);
        PropertyBag written;
        original.writeProperties(written);
        // A system colour is stored with its high bit set, as a signed long.
        QCOMPARE(written.readProperty("FontColour", 0).toLongLong(), -2147483640LL);
        QCOMPARE(written.readProperty("ShowValue", 0).toInt(), -1);

        QTemporaryDir dir;
        const QString path = dir.filePath("bar.txt");
        QVERIFY(written.saveToFile(path));
        const auto loaded = PropertyBag::loadFromFile(path);
        QVERIFY(loaded.has_value());
        QCOMPARE(*loaded, written);

        ProgBar copy;
        copy.readProperties(*loaded);
        const QMetaObject& meta = ProgBar::staticMetaObject;
        for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i)
            QCOMPARE(copy.property(meta.property(i).name()),
                     original.property(meta.property(i).name()));
        QVERIFY(copy.changedProperties().isEmpty());

        PropertyBag defaults;
        ProgBar().writeProperties(defaults);
        QVERIFY(defaults.isEmpty());
    }

    void storedValuesAndAnEmptyRangeAreSurvived()
    {
        // Stored values skip the range rules; unreadable ones read as the
        // default.
        PropertyBag bag;
        bag.write("Min", 100);
        bag.write("FillDirection", 7);
        bag.write("BarStyle", "not a number");
        ProgBar bar;
        bar.readProperties(bag);
        QCOMPARE(bar.min(), bar.max());
        QCOMPARE(bar.fillDirection(), 7);
        QCOMPARE(bar.barStyle(), 1);
        QVERIFY(!bar.renderToImage(QSize(50, 10)).isNull());
        bar.setValue(40); // below the threshold: an empty bar
        QCOMPARE(bar.percent(), 0);
        bar.setValue(100);
        QCOMPARE(bar.percent(), 100);
    }

    void gradientRunsFromStartToExactlyTheEndColour_data()
    {
        QTest::addColumn<FillDirection>("direction");
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("bands");
        QTest::newRow("from bottom, 8 bit") << FillDirection::FromBottom << 8 << 64;
        QTest::newRow("from top, 15 bit") << FillDirection::FromTop << 15 << 32;
        QTest::newRow("from right, 16 bit") << FillDirection::FromRight << 16 << 256;
        QTest::newRow("from left, 1 bit, unknown") << FillDirection::FromLeft << 1 << 64;
    }

    void gradientRunsFromStartToExactlyTheEndColour()
    {
        QFETCH(FillDirection, direction);
        QFETCH(int, depth);
        ProgBar bar;
        bar.setColourDepthOverride(depth);
        bar.setBarStyle(0);
        bar.setFillDirection(int(direction));
        // Green falls by at least one step per band, so neighbouring bands
        // always differ; the stepped colours never quite reach the end.
        bar.setBarStartColour(oleRgb(0, 255, 0));
        bar.setBarEndColour(oleRgb(0x12, 0, 0x56));
        bar.setPercent(100);
        // Turned so that the bar grows from the left edge; each run of equal
        // pixels counted once.
        const qreal turns[] = {90, 270, 180, 0}; // indexed by direction
        const QImage image = bar.renderToImage(QSize(1024, 1024))
                                 .transformed(QTransform().rotate(turns[int(direction)]));
        QList<QRgb> runs;
        for (int x = 0; x < image.width(); ++x) {
            if (runs.isEmpty() || runs.last() != image.pixel(x, 0))
                runs.append(image.pixel(x, 0));
        }
        QTEST(int(runs.size()), "bands");
        QCOMPARE(QColor(runs.first()), QColor(0, 255, 0));
        QCOMPARE(QColor(runs.last()), QColor(0x12, 0, 0x56));
    }

    void widgetPaintsBarInsideItsBorder()
    {
        ProgBar bar;
        bar.resize(102, 12);
        bar.setBarStartColour(0x00FF0000); // stored as BGR
        bar.setValue(40);
        const QImage bordered = bar.grab().toImage();
        QCOMPARE(bordered.pixelColor(0, 5), bar.palette().color(QPalette::WindowText));
        QCOMPARE(bordered.pixelColor(40, 5), QColor(Qt::blue));
        QCOMPARE(bordered.pixelColor(41, 5), QColor(Qt::white));
    }
};

QTEST_MAIN(ProgBarTest)
#include "tst_progbar.moc"
