#include "settingsfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QRegularExpression>
#include <QStringList>

#include <charconv>
#include <cmath>

namespace quorlink {

namespace {

const QString crlf = QStringLiteral("\r\n");

std::optional<float> numberAfter(const QString& line, int prefixLength)
{
    bool ok = false;
    const float value = line.mid(prefixLength).trimmed().toFloat(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QByteArray defaultContent()
{
    return (QStringLiteral("Left = 100") + crlf + QStringLiteral("Top = 100") + crlf
            + QStringLiteral("Com = 1") + crlf)
        .toLatin1();
}

// Writes a new file beside the old one, syncs it and renames it over the
// old one. Unbuffered, so that a failed write (a full disk) is seen here:
// a buffered one fails only inside commit(), which then still renames the
// short file over the good one.
bool replaceAtomically(const QString& path, const QByteArray& content)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(content) != content.size()) {
        file.cancelWriting(); // the old file stays
        return false;
    }
    return file.commit();
}

} // namespace

QString SettingsFile::pathIn(const QString& systemDirectory)
{
    return QDir(systemDirectory).filePath(QStringLiteral("update.ini"));
}

void SettingsFile::ensureExists(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists() && info.size() >= 1)
        return;
    replaceAtomically(path, defaultContent());
}

SettingsFile::Lines SettingsFile::readLines(const QString& path)
{
    QFile file(path);
    Lines lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    // A line ends at CR LF, CR or LF.
    const QString text = QString::fromLatin1(file.read(64 * 1024));
    QStringList parts = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    parts.resize(std::max<qsizetype>(parts.size(), 3));
    lines.left = parts[0];
    lines.top = parts[1];
    lines.com = parts[2];
    return lines;
}

std::optional<float> SettingsFile::leftValue(const QString& line)
{
    return numberAfter(line, 7);
}

std::optional<float> SettingsFile::topValue(const QString& line)
{
    return numberAfter(line, 6);
}

int SettingsFile::comPortValue(const QString& line)
{
    bool ok = false;
    const double value = line.mid(6).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return DefaultComPort;
    const double rounded = std::nearbyint(value);
    if (rounded < 1 || rounded > 4)
        return DefaultComPort;
    return static_cast<int>(rounded);
}

QString SettingsFile::formatPosition(float value)
{
    char buffer[64];
    const auto result =
        std::to_chars(std::begin(buffer), std::end(buffer), value, std::chars_format::fixed);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

bool SettingsFile::write(const QString& path, float left, float top, int comPort)
{
    const QString content = QStringLiteral("Left = ") + formatPosition(left) + crlf
                            + QStringLiteral("Top = ") + formatPosition(top) + crlf
                            + QStringLiteral("Com = ") + QString::number(comPort) + crlf;
    return replaceAtomically(path, content.toLatin1());
}

} // namespace quorlink
