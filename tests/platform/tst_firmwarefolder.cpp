#include "platform/firmwarefolder.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

// Where the programs look for firmware files: built, unpacked or installed.
class FirmwareFolderTest : public QObject
{
    Q_OBJECT

private slots:
    // Folders made below a temporary root; the program runs from `program`.
    // Real firmware and the samples never stand in for each other.
    void layouts_data()
    {
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<QString>("samples");
        const QString share = QStringLiteral("usr/share/varnex-quorlink/");
        QTest::newRow("installed under a prefix")
            << QStringList{"usr/bin", share + "Firmware Update", share + "samples"} << "usr/bin"
            << share + "Firmware Update" << share + "samples";
        QTest::newRow("beside wins over installed")
            << QStringList{"usr/bin/Firmware Update", share + "Firmware Update", share + "samples"}
            << "usr/bin"
            << "usr/bin/Firmware Update" << share + "samples";
        QTest::newRow("neither: beside the program")
            << QStringList{"opt/bin"} << "opt/bin" << "opt/bin/Firmware Update"
            << "opt/bin/samples";
    }
    void layouts()
    {
        QFETCH(QStringList, folders);
        QFETCH(QString, program);
        QFETCH(QString, firmware);
        QFETCH(QString, samples);
        QTemporaryDir root;
        for (const QString& folder : folders)
            QVERIFY(QDir(root.path()).mkpath(folder));
        QCOMPARE(quorlink::firmwareFolder(root.filePath(program)), root.filePath(firmware));
        QCOMPARE(quorlink::sampleFolder(root.filePath(program)), root.filePath(samples));
    }
};

QTEST_GUILESS_MAIN(FirmwareFolderTest)
#include "tst_firmwarefolder.moc"
