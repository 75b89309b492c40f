#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace quorlink {

// Keeps a second copy of a program from running while this object lives.
// The lock is a file in a folder every copy agrees on; a lock left behind by
// a copy that crashed is recognised as stale and taken over.
class SingleInstance
{
public:
    // Null when another running copy of `programName` holds the lock. When no
    // lock can be made at all (a folder that cannot be written) the program
    // runs unguarded rather than not at all: the result is not null and
    // isGuarded() is false.
    static std::unique_ptr<SingleInstance> tryAcquire(const QString& programName,
                                                      const QString& lockFolder);

    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    bool isGuarded() const { return m_lock.isLocked(); }
    QString lockFilePath() const { return m_path; }

private:
    explicit SingleInstance(const QString& path);

    QString m_path;
    QLockFile m_lock;
};

} // namespace quorlink
