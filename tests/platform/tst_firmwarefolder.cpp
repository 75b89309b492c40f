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
    void layouts_data()
    {
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("expected");
        QTest::newRow("beside the program (build folder)")
            << QStringList{"build/bin/Firmware Update"} << "build/bin"
            << "build/bin/Firmware Update";
        QTest::newRow("installed under a prefix")
            << QStringList{"usr/bin", "usr/share/varnex-quorlink/Firmware Update"} << "usr/bin"
            << "usr/share/varnex-quorlink/Firmware Update";
        QTest::newRow("beside wins over installed")
            << QStringList{"usr/bin/Firmware Update", "usr/share/varnex-quorlink/Firmware Update"}
            << "usr/bin"
            << "usr/bin/Firmware Update";
        QTest::newRow("neither: beside the program") << QStringList{"opt/bin"} << "opt/bin"
                                                     << "opt/bin/Firmware Update";
    }
    void layouts()
    {
        QFETCH(QStringList, folders);
        QFETCH(QString, program);
        QFETCH(QString, expected);
        QTemporaryDir root;
        for (const QString& folder : folders)
            QVERIFY(QDir(root.path()).mkpath(folder));
        QCOMPARE(quorlink::firmwareFolder(root.filePath(program)), root.filePath(expected));
    }
};

QTEST_GUILESS_MAIN(FirmwareFolderTest)
#include "tst_firmwarefolder.moc"
