#include "sound.h"

#include "logging.h"

#include <QFileInfo>

#ifdef Q_OS_WIN
#include <QLibrary>
#include <qt_windows.h>
#else
#include <QProcess>
#include <QStandardPaths>
#endif

namespace quorlink {

namespace {

#ifdef Q_OS_WIN

// winmm is loaded on demand so that the platform library needs no extra
// link dependency.
bool playWithWindows(const QString& path, bool wait)
{
    using PlaySoundFunction = BOOL(WINAPI*)(LPCWSTR, HMODULE, DWORD);
    constexpr DWORD sndSync = 0x0000;
    constexpr DWORD sndAsync = 0x0001;
    constexpr DWORD sndNoDefault = 0x0002;
    constexpr DWORD sndFileName = 0x00020000;

    static const auto playSound = reinterpret_cast<PlaySoundFunction>(
        QLibrary::resolve(QStringLiteral("winmm"), "PlaySoundW"));
    if (!playSound)
        return false;
    const std::wstring nativePath = QFileInfo(path).absoluteFilePath().toStdWString();
    const DWORD flags = sndFileName | sndNoDefault | (wait ? sndSync : sndAsync);
    return playSound(nativePath.c_str(), nullptr, flags) != FALSE;
}

#else

// Command-line players, the most common first; each takes the file name as
// its only argument.
QString findPlayer()
{
    static const char* const players[] = {"aplay", "paplay", "pw-play", "afplay"};
    for (const char* name : players) {
        const QString program = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!program.isEmpty())
            return program;
    }
    return {};
}

bool playWithPlayer(const QString& path, bool wait)
{
    const QString program = findPlayer();
    if (program.isEmpty()) {
        qCDebug(lcPlatform) << "no sound player found for" << path;
        return false;
    }
    QProcess player;
    player.setProgram(program);
    player.setArguments({QFileInfo(path).absoluteFilePath()});
    player.setStandardOutputFile(QProcess::nullDevice());
    player.setStandardErrorFile(QProcess::nullDevice());
    if (!wait)
        return player.startDetached();

    player.start();
    if (!player.waitForStarted())
        return false;
    if (!player.waitForFinished(maxWaitForSoundMs)) {
        player.kill();
        player.waitForFinished();
        return true; // it played, only longer than we wait for
    }
    return player.exitStatus() == QProcess::NormalExit && player.exitCode() == 0;
}

#endif

} // namespace

bool playSoundFile(const QString& path, bool wait)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
#ifdef Q_OS_WIN
    return playWithWindows(path, wait);
#else
    return playWithPlayer(path, wait);
#endif
}

} // namespace quorlink
