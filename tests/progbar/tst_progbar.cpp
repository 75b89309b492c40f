#include "platform/sound.h"
#include "progbar/mainformdesign.h"
#include "progbar/olecolour.h"
#include "progbar/progbar.h"
#include "progbar/propertybag.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quorlink::progbar;

namespace {

// Records the sound requests instead of playing anything.
struct SoundLog
{
    QList<std::pair<QString, bool>> plays;

    ProgBar::SoundPlayer player()
    {
        return [this](const QString& path, bool wait) {
            plays.append({path, wait});
            return true;
        };
    }
};

QString createFile(const QTemporaryDir& dir, const QString& name)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write("RIFF");
    return path;
}

} // namespace

class ProgBarTest : public QObject
{
    Q_OBJECT

private slots:
    void setsApplyTheirRangeRules_data()
    {
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QVariant>("set");
        QTest::addColumn<QVariant>("stored");
        QTest::newRow("direction 7") << QByteArray("FillDirection") << QVariant(7) << QVariant(3);
        QTest::newRow("direction -1") << QByteArray("FillDirection") << QVariant(-1) << QVariant(3);
        QTest::newRow("direction 0") << QByteArray("FillDirection") << QVariant(0) << QVariant(0);
        QTest::newRow("style 5") << QByteArray("BarStyle") << QVariant(5) << QVariant(1);
        QTest::newRow("style -1") << QByteArray("BarStyle") << QVariant(-1) << QVariant(1);
        QTest::newRow("style 0") << QByteArray("BarStyle") << QVariant(0) << QVariant(0);
        QTest::newRow("border -2") << QByteArray("BorderStyle") << QVariant(-2) << QVariant(0);
        QTest::newRow("border 9") << QByteArray("BorderStyle") << QVariant(9) << QVariant(1);
        QTest::newRow("percent 150") << QByteArray("Percent") << QVariant(150) << QVariant(100);
        QTest::newRow("percent -5") << QByteArray("Percent") << QVariant(-5) << QVariant(0);
        QTest::newRow("min up to max") << QByteArray("Min") << QVariant(100) << QVariant(99);
        QTest::newRow("max down to min") << QByteArray("Max") << QVariant(0) << QVariant(1);
        QTest::newRow("value -5") << QByteArray("Value") << QVariant(-5) << QVariant(0);
        QTest::newRow("value 110") << QByteArray("Value") << QVariant(110) << QVariant(100);
    }

    void setsApplyTheirRangeRules()
    {
        QFETCH(QByteArray, property);
        QFETCH(QVariant, set);
        QFETCH(QVariant, stored);
        ProgBar bar;
        QVERIFY(bar.setProperty(property, set));
        QCOMPARE(bar.property(property).toInt(), stored.toInt());
    }

    void valueAndPercentFollowEachOther_data()
    {
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<int>("set");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("percent");
        QTest::newRow("percent 50") << 0 << 100 << QByteArray("Percent") << 50 << 50 << 50;
        QTest::newRow("value 100") << 0 << 100 << QByteArray("Value") << 100 << 100 << 100;
        QTest::newRow("value -5") << 0 << 100 << QByteArray("Value") << -5 << 0 << 0;
        QTest::newRow("offset range") << 10 << 20 << QByteArray("Value") << 15 << 15 << 50;
        QTest::newRow("percent floors") << 10 << 20 << QByteArray("Percent") << 33 << 13 << 33;
        QTest::newRow("share floors") << 0 << 3 << QByteArray("Value") << 2 << 2 << 66;
        QTest::newRow("negative min") << -50 << 50 << QByteArray("Value") << 0 << 0 << 50;
        // The share is worked out as (v - Min) / (Max - Min) × 100 in
        // doubles; 29 / 100 × 100 lands just below 29.
        QTest::newRow("29 of 100") << 0 << 100 << QByteArray("Value") << 29 << 29 << 28;
        QTest::newRow("29 percent") << 0 << 100 << QByteArray("Percent") << 29 << 28 << 29;
    }

    void valueAndPercentFollowEachOther()
    {
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(QByteArray, property);
        QFETCH(int, set);
        ProgBar bar;
        bar.setMin(min);
        bar.setMax(max);
        bar.setProperty(property, set);
        QTEST(bar.value(), "value");
        QTEST(bar.percent(), "percent");
        // Each of the pair changes the other, so both are due for storing.
        QVERIFY(bar.changedProperties().contains("Value"));
        QVERIFY(bar.changedProperties().contains("Percent"));
    }

    void limitsKeepThePercentage()
    {
        ProgBar bar;
        bar.setPercent(50);
        bar.setMax(200);
        QCOMPARE(bar.value(), 100);
        bar.setMin(100);
        QCOMPARE(bar.value(), 150);
        QCOMPARE(bar.percent(), 50);
    }

    void textComposition_data()
    {
        QTest::addColumn<QStringList>("flagsSet");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("text");
        QTest::newRow("nothing") << QStringList{} << "Busy"
                                 << "";
        QTest::newRow("percent after value") << QStringList{"ShowValue", "ShowPercent"} << ""
                                             << "42%";
        QTest::newRow("value after percent") << QStringList{"ShowPercent", "ShowValue"} << ""
                                             << "42/100";
        QTest::newRow("message then percent") << QStringList{"ShowMessage", "ShowPercent"} << "Busy"
                                              << "Busy 42%";
        QTest::newRow("empty message, no blank") << QStringList{"ShowMessage", "ShowPercent"} << ""
                                                 << "42%";
        QTest::newRow("message alone") << QStringList{"ShowMessage"} << "Busy"
                                       << "Busy";
    }

    void textComposition()
    {
        QFETCH(QStringList, flagsSet);
        QFETCH(QString, message);
        ProgBar bar;
        bar.setValue(42);
        bar.setMessage(message);
        for (const QString& flag : flagsSet)
            bar.setProperty(flag.toLatin1(), true);
        QTEST(bar.displayText(), "text");
    }

    void soundPlaysOnlyAtFullBarWhenAskedAndPresent_data()
    {
        QTest::addColumn<int>("percent");
        QTest::addColumn<bool>("playSound");
        QTest::addColumn<bool>("fileExists");
        QTest::addColumn<bool>("wait");
        QTest::addColumn<int>("plays");
        QTest::newRow("full, waiting") << 100 << true << true << true << 1;
        QTest::newRow("full, not waiting") << 100 << true << true << false << 1;
        QTest::newRow("99 percent") << 99 << true << true << false << 0;
        QTest::newRow("sound off") << 100 << false << true << false << 0;
        QTest::newRow("file missing") << 100 << true << false << false << 0;
    }

    void soundPlaysOnlyAtFullBarWhenAskedAndPresent()
    {
        QFETCH(int, percent);
        QFETCH(bool, playSound);
        QFETCH(bool, fileExists);
        QFETCH(bool, wait);
        QTemporaryDir dir;
        const QString path = fileExists ? createFile(dir, "done.wav") : dir.filePath("gone.wav");
        SoundLog log;
        ProgBar bar;
        bar.setSoundPlayer(log.player());
        bar.setSoundToPlay(path);
        bar.setPlaySound(playSound);
        bar.setWaitForSound(wait);
        bar.setPercent(percent);
        bar.grab();
        QTEST(int(log.plays.size()), "plays");
        if (!log.plays.isEmpty())
            QCOMPARE(log.plays.first(), std::make_pair(path, wait));
    }

    void missingSoundFilePlaysNothing()
    {
        QTemporaryDir dir;
        QVERIFY(!quorlink::playSoundFile(dir.filePath("missing.wav"), true));
        QVERIFY(!quorlink::playSoundFile(QString(), false));
        QVERIFY(!quorlink::playSoundFile(dir.path(), false)); // a folder is no sound
    }

    // Each set that repaints passes the end of a paint once more, where the
    // full bar asks for its sound.
    void drawingSetsRepaintAndSoundSetsDoNot_data()
    {
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QVariant>("set");
        QTest::addColumn<int>("repaints");
        QTest::newRow("font colour") << QByteArray("FontColour") << QVariant(0u) << 1;
        QTest::newRow("same value again") << QByteArray("Value") << QVariant(100) << 1;
        QTest::newRow("message") << QByteArray("Message") << QVariant("x") << 1;
        QTest::newRow("fill direction") << QByteArray("FillDirection") << QVariant(1) << 1;
        QTest::newRow("wait for sound") << QByteArray("WaitForSound") << QVariant(true) << 0;
        QTest::newRow("play sound") << QByteArray("PlaySound") << QVariant(true) << 0;
    }

    void drawingSetsRepaintAndSoundSetsDoNot()
    {
        QFETCH(QByteArray, property);
        QFETCH(QVariant, set);
        QTemporaryDir dir;
        SoundLog log;
        ProgBar bar;
        bar.setSoundPlayer(log.player());
        bar.setSoundToPlay(createFile(dir, "done.wav"));
        bar.setPlaySound(true);
        bar.setValue(100);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        QCoreApplication::processEvents();
        log.plays.clear();
        bar.setProperty(property, set);
        QTEST(int(log.plays.size()), "repaints");
    }

    void propertiesSurviveAStoredFile()
    {
        ProgBar original;
        original.setBackColour(0x00C0C0C0);
        original.setFontColour(quorlink::progbar::systemWindowText);
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
        const QStringList expectedOrder{
            "BackColour",  "BorderStyle", "FillDirection", "FontColour", "Max",
            "Message",     "Percent",     "ShowMessage",   "ShowValue",  "Value",
            "SoundToPlay", "BarStyle",    "WaitForSound"};
        QCOMPARE(written.keys(), expectedOrder);
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
        bag.write("ShowValue", -1);
        bag.write("FillDirection", 7);
        bag.write("BarStyle", "not a number");
        ProgBar bar;
        bar.readProperties(bag);
        QCOMPARE(bar.min(), bar.max());
        QCOMPARE(bar.fillDirection(), 7);
        QCOMPARE(bar.barStyle(), 1);
        QVERIFY(!bar.renderToImage(QSize(50, 10)).isNull());
        bar.setValue(40);
        QCOMPARE(bar.value(), 100);
        QCOMPARE(bar.percent(), 0);
        bar.setValue(100);
        QCOMPARE(bar.percent(), 100);
        bar.setPercent(50);
        QCOMPARE(bar.value(), 100);
        QCOMPARE(bar.displayText(), QStringLiteral("100/100"));
        bar.setMax(150);
        QCOMPARE(bar.value(), 125);
    }

    void mainFormDesignIsABlueBarShowingItsPercentage()
    {
        ProgBar bar;
        applyMainFormDesign(bar);
        QCOMPARE(bar.barStartColour(), 0x00FF0000u);
        QCOMPARE(bar.barEndColour(), 0x00FF0000u);
        QCOMPARE(bar.fontColour(), systemWindowText);
        QCOMPARE(toQColor(bar.fontColour(), bar.palette()),
                 bar.palette().color(QPalette::WindowText));
        QCOMPARE(toQColor(bar.barStartColour(), bar.palette()), QColor(Qt::blue));
        QVERIFY(bar.showPercent());
        QCOMPARE(bar.size(), QSize(289, 17));
        QCOMPARE(bar.displayText(), QStringLiteral("0%"));
        PropertyBag rewritten;
        bar.writeProperties(rewritten);
        QCOMPARE(rewritten, mainFormDesign());
    }
};

QTEST_MAIN(ProgBarTest)
#include "tst_progbar.moc"
