#include "deviceaccess.h"

#include <QFile>
#include <QFileInfo>

#if defined(Q_OS_UNIX)
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorlink {

namespace {

bool isPath(const QString& device)
{
    return device.startsWith(QLatin1Char('/'));
}

} // namespace

DeviceAccess DeviceAccess::system()
{
    DeviceAccess access;
    access.exists = [](const QString& device) {
        return !isPath(device) || QFileInfo::exists(device);
    };
    access.mayOpen = [](const QString& device) {
#if defined(Q_OS_UNIX)
        return !isPath(device) || ::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0;
#else
        Q_UNUSED(device);
        return true;
#endif
    };
    access.owningGroup = [](const QString& device) {
#if defined(Q_OS_UNIX)
        struct stat status = {};
        if (!isPath(device) || ::stat(QFile::encodeName(device).constData(), &status) != 0)
            return QString();
        const group* owner = ::getgrgid(status.st_gid);
        return owner ? QString::fromLocal8Bit(owner->gr_name) : QString::number(status.st_gid);
#else
        Q_UNUSED(device);
        return QString();
#endif
    };
    return access;
}

} // namespace quorlink
