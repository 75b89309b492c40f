#include "progbar/olecolour.h"
#include "progbar/progbar.h"
#include "progbar/propertybag.h"

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
