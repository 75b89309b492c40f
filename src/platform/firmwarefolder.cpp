#include "firmwarefolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace quorlink {

namespace {

const QString FolderName = QStringLiteral("Firmware Update");
// Where `cmake --install` puts the sample folder, relative to bin/.
const QString InstalledFromBin = QStringLiteral("../share/varnex-quorlink");

} // namespace

QString firmwareFolder(const QString& programFolder)
{
    const QDir program(programFolder);
    const QString beside = program.filePath(FolderName);
    if (QFileInfo(beside).isDir())
        return beside;
    const QString installed =
        QDir::cleanPath(program.filePath(InstalledFromBin + QLatin1Char('/') + FolderName));
    return QFileInfo(installed).isDir() ? installed : beside;
}

QString firmwareFolder()
{
    return firmwareFolder(QCoreApplication::applicationDirPath());
}

} // namespace quorlink
