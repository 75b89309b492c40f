#include "platform/sound.h"
#include "progbar/bardrawing.h"
#include "progbar/olecolour.h"
#include "progbar/progbar.h"
#include "progbar/propertybag.h"

#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

using namespace quorlink::progbar;

namespace {

const QColor startColour(0, 255, 0);
const QColor endColour(0x12, 0x34, 0x56);
const QColor backColour(Qt::white);

// Property names with values, in the order they are set or read.
using Properties = QList<std::pair<QByteArray, QVariant>>;

QImage paint(const QSize& size, BarStyle style, FillDirection direction, int percent, int bands)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    drawBar(painter, size, {percent, style, direction, startColour, endColour, backColour}, bands);
    return image;
}

// Turned so that the bar grows from the left edge.
QImage growingFromLeft(const QImage& image, FillDirection direction)
{
    const qreal turns[] = {90, 270, 180, 0}; // indexed by direction
    return image.transformed(QTransform().rotate(turns[int(direction)]));
}

// Colours met walking from the starting edge to the far edge, each run of
// equal pixels counted once.
QList<QRgb> coloursAlongFill(const QImage& image)
{
    QList<QRgb> runs;
    for (int x = 0; x < image.width(); ++x)
        if (runs.isEmpty() || runs.last() != image.pixel(x, 0))
            runs.append(image.pixel(x, 0));
    return runs;
}

} // namespace

class ProgBarTest : public QObject
{
    Q_OBJECT

private slots:
    // Sets `sets` in order on a new bar; `reads` is what the properties
    // hold then, each of them due for storing.
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
        row("in-range enumerations", {{"FillDirection", 0}, {"BarStyle", 0}, {"BorderStyle", 1}},
            {{"FillDirection", 0}, {"BarStyle", 0}, {"BorderStyle", 1}});
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
    }

    void setsApplyTheirRules()
    {
        QFETCH(Properties, sets);
        QFETCH(Properties, reads);
        ProgBar bar;
        for (const auto& [property, value] : sets)
            QVERIFY(bar.setProperty(property, value));
        for (const auto& [property, value] : reads) {
            QCOMPARE(bar.property(property).toInt(), value.toInt());
            QVERIFY(bar.changedProperties().contains(QString::fromLatin1(property)));
        }
    }

    void textComposition_data()
    {
        QTest::addColumn<QStringList>("flagsSet");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("text");
        const auto row = [](const char* name, const QStringList& flags, const char* message,
                            const char* text) {
            QTest::newRow(name) << flags << QString(message) << QString(text);
        };
        row("nothing", {}, "Busy", "");
        row("percent after value", {"ShowValue", "ShowPercent"}, "", "30%");
        row("value after percent", {"ShowPercent", "ShowValue"}, "", "30/100");
        row("message then percent", {"ShowMessage", "ShowPercent"}, "Busy", "Busy 30%");
        row("empty message, no blank", {"ShowMessage", "ShowPercent"}, "", "30%");
    }

    void textComposition()
    {
        QFETCH(QStringList, flagsSet);
        QFETCH(QString, message);
        ProgBar bar;
        bar.setValue(30);
        bar.setMessage(message);
        for (const QString& flag : flagsSet)
            bar.setProperty(flag.toLatin1(), true);
        QTEST(bar.displayText(), "text");
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
        row("wait flag, no repaint", {{"WaitForSound", true}}, 0);
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

    void soundOfAMissingFileOrAFolderIsNotPlayed()
    {
        QVERIFY(!quorlink::playSoundFile(QStringLiteral("/no/such/folder/done.wav"), true));
        QVERIFY(!quorlink::playSoundFile(QStringLiteral("/"), false));
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
        bar.setPercent(50);
        bar.setMax(150);
        QCOMPARE(bar.value(), 125);
    }

    void solidFillsExactlyItsShare_data()
    {
        QTest::addColumn<FillDirection>("direction");
        QTest::addColumn<int>("percent");
        const char* names[] = {"from bottom", "from top", "from right", "from left"};
        for (int direction = 0; direction < 4; ++direction)
            QTest::addRow("%s 37%%", names[direction]) << FillDirection(direction) << 37;
        QTest::newRow("empty") << FillDirection::FromLeft << 0;
        QTest::newRow("full") << FillDirection::FromTop << 100;
    }

    void solidFillsExactlyItsShare()
    {
        QFETCH(FillDirection, direction);
        QFETCH(int, percent);
        const QImage image = growingFromLeft(
            paint(QSize(100, 100), BarStyle::Solid, direction, percent, 256), direction);
        for (int x = 0; x < 100; ++x)
            for (int y : {0, 50, 99})
                QCOMPARE(image.pixelColor(x, y), x < percent ? startColour : backColour);
    }

    void gradientRunsFromStartToExactlyTheEndColour_data()
    {
        QTest::addColumn<FillDirection>("direction");
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("bands");
        QTest::newRow("from bottom, 8 bit") << FillDirection::FromBottom << 8 << 64;
        QTest::newRow("from top, 15 bit") << FillDirection::FromTop << 15 << 32;
        QTest::newRow("from right, 16 bit") << FillDirection::FromRight << 16 << 256;
        QTest::newRow("from left, 32 bit") << FillDirection::FromLeft << 32 << 256;
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
        const QList<QRgb> runs =
            coloursAlongFill(growingFromLeft(bar.renderToImage(QSize(1024, 1024)), direction));
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

        bar.setBorderStyle(0);
        const QImage plain = bar.grab().toImage();
        QCOMPARE(plain.pixelColor(0, 5), QColor(Qt::blue));
        QCOMPARE(plain.pixelColor(41, 5), QColor(Qt::white));
    }
};

QTEST_MAIN(ProgBarTest)
#include "tst_progbar.moc"
