#include "systemdirectory.h"

#include <QDir>
#include <QStandardPaths>

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

QString createdFolder(const QString& folder)
{
    QDir().mkpath(folder);
    return withoutTrailingSeparator(folder);
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
    const QString overridden = qEnvironmentVariable("QUORLINK_SYSTEM_DIR");
    if (!overridden.isEmpty())
        return createdFolder(overridden);
#if defined(Q_OS_WIN)
    return windowsDirectory();
#else
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return createdFolder(config + QStringLiteral("/VarnexQuorlink"));
#endif
}

} // namespace quorlink
