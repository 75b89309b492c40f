#include "singleinstance.h"

#include "logging.h"

#include <QDir>

namespace quorlink {

SingleInstance::SingleInstance(const QString& path) : m_path(path), m_lock(path) {}

SingleInstance::~SingleInstance() = default;

std::unique_ptr<SingleInstance> SingleInstance::tryAcquire(const QString& programName,
                                                           const QString& lockFolder)
{
    QDir().mkpath(lockFolder);
    const QString path = QDir(lockFolder).filePath(programName + QStringLiteral(".lock"));
    std::unique_ptr<SingleInstance> instance(new SingleInstance(path));
    if (instance->m_lock.tryLock(0))
        return instance;
    if (instance->m_lock.error() == QLockFile::LockFailedError)
        return nullptr;
    qCWarning(lcPlatform) << "cannot create the single-instance lock" << path
                          << "; running without it";
    return instance;
}

} // namespace quorlink
