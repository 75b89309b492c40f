#pragma once

#include <QString>

#include <optional>

namespace quorlink {

// update.ini: three CR LF lines "Left = ", "Top = ", "Com = " with the main
// window's position in twips and the COM port number.
struct SettingsFile
{
    static constexpr float DefaultPosition = 100;
    static constexpr int DefaultComPort = 1;

    static QString pathIn(const QString& systemDirectory);

    // Creates the file with the defaults when it is missing or empty; a file
    // with content is left alone.
    static void ensureExists(const QString& path);

    // The three lines as read (missing lines are empty).
    struct Lines
    {
        QString left;
        QString top;
        QString com;
    };
    static Lines readLines(const QString& path);

    // Values are read positionally, after the seven characters of "Left = "
    // and the six of "Top = " and "Com = ". Empty when not a number.
    static std::optional<float> leftValue(const QString& line);
    static std::optional<float> topValue(const QString& line);
    // The port number 1..4; anything else (missing, not a number, out of
    // range) is taken as 1.
    static int comPortValue(const QString& line);

    // Replaces the file atomically (a new file renamed over the old one), so
    // a crash or power loss never leaves a truncated file. Returns false when
    // the file could not be written; the old file then stays as it was.
    static bool write(const QString& path, float left, float top, int comPort);

    // Shortest decimal text of a position: an integral value gives an integer.
    static QString formatPosition(float value);
};

} // namespace quorlink
