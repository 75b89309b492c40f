#include "systemdirectory.h"

#include "logging.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryFile>

#if defined(Q_OS_WIN)
#include <windows.h>

#include <algorithm>
#include <iterator>
#endif

namespace quorlink {

namespace {

QString withoutTrailingSeparator(QString folder)
{
    folder = QDir::fromNativeSeparators(folder);
    // "/" and "C:/" keep their separator: without it they name other things.
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')) &&
           !folder.endsWith(QLatin1String(":/")))
        folder.chop(1);
    return folder;
}

// Whether files can be made in `folder`, which is created when missing.
// Permissions alone do not tell: the Windows folder looks writable to a
// standard user, who still cannot create files in it.
bool canWriteIn(const QString& folder)
{
    if (!QDir().mkpath(folder))
        return false;
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("write-test-XXXXXX")));
    return probe.open();
}

// The user's own folder, shared by both programs.
QString userFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/VarnexQuorlink");
}

#if defined(Q_OS_WIN)
QString windowsDirectory()
{
    constexpr int BufferLength = 260;
    wchar_t buffer[BufferLength];
    std::fill(std::begin(buffer), std::end(buffer), L' ');
    ::GetWindowsDirectoryW(buffer, BufferLength);
    const QString text = QString::fromWCharArray(buffer, BufferLength);
    return withoutTrailingSeparator(windowsDirectoryFromBuffer(text));
}
#endif

} // namespace

QString windowsDirectoryFromBuffer(const QString& buffer)
{
    // Only spaces count as padding here; a tab or NUL is text.
    qsizetype first = 0;
    qsizetype last = buffer.size();
    while (first < last && buffer.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && buffer.at(last - 1) == QLatin1Char(' '))
        --last;
    QString folder = buffer.mid(first, last - first);
    if (!folder.isEmpty() && folder.back().unicode() < 32)
        folder.chop(1);
    return folder;
}

QString systemDirectory()
{
    QString folder = qEnvironmentVariable("QUORLINK_SYSTEM_DIR");
#if defined(Q_OS_WIN)
    if (folder.isEmpty())
        folder = windowsDirectory();
#endif
    if (folder.isEmpty())
        folder = userFolder();
    // A folder nobody may write would lose the settings at every exit and
    // let a second copy run beside the first, whose lock it cannot make.
    if (!canWriteIn(folder)) {
        const QString fallback = userFolder();
        if (canWriteIn(fallback)) {
            qCInfo(lcPlatform) << "cannot write in" << folder << "; using" << fallback;
            folder = fallback;
        }
    }
    return withoutTrailingSeparator(folder);
}

} // namespace quorlink
