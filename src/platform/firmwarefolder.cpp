#include "firmwarefolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace quorlink {

namespace {

const QString FirmwareFolderName = QStringLiteral("Firmware Update");
const QString SampleFolderName = QStringLiteral("samples");
// Where `cmake --install` puts both folders, relative to bin/.
const QString InstalledFromBin = QStringLiteral("../share/varnex-quorlink");

QString folderNamed(const QString& programFolder, const QString& name)
{
    const QDir program(programFolder);
    const QString beside = program.filePath(name);
    if (QFileInfo(beside).isDir())
        return beside;
    const QString installed =
        QDir::cleanPath(program.filePath(InstalledFromBin + QLatin1Char('/') + name));
    return QFileInfo(installed).isDir() ? installed : beside;
}

} // namespace

QString firmwareFolder(const QString& programFolder)
{
    return folderNamed(programFolder, FirmwareFolderName);
}

QString sampleFolder(const QString& programFolder)
{
    return folderNamed(programFolder, SampleFolderName);
}

QString firmwareFolder()
{
    return firmwareFolder(QCoreApplication::applicationDirPath());
}

QString sampleFolder()
{
    return sampleFolder(QCoreApplication::applicationDirPath());
}

} // namespace quorlink
