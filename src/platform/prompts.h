#pragma once

#include <QString>

namespace quorlink {

// Message box styles as the program states them: icon, buttons and the
// bring-to-foreground flag in one number.
namespace MessageStyle {
inline constexpr int Ok = 0x0;
inline constexpr int YesNo = 0x4;
inline constexpr int CriticalIcon = 0x10;
inline constexpr int ExclamationIcon = 0x30;
inline constexpr int Foreground = 0x10000;
inline constexpr int CriticalOk = Foreground | CriticalIcon | Ok;        // 0x10010
inline constexpr int ExclamationOk = Foreground | ExclamationIcon | Ok;  // 0x10030
inline constexpr int YesNoExclamation = ExclamationIcon | YesNo;         // 0x34
} // namespace MessageStyle

namespace MessageResult {
inline constexpr int Ok = 1;
inline constexpr int Cancel = 2;
inline constexpr int Yes = 6;
inline constexpr int No = 7;
} // namespace MessageResult

// Everything that asks or tells the user. The window uses real dialogs;
// tests use a recorder that logs each prompt and gives scripted answers.
class Prompts
{
public:
    virtual ~Prompts() = default;

    virtual void beep() = 0;
    // Shows a modal message box; returns one of MessageResult.
    virtual int message(const QString& text, int style, const QString& title) = 0;
    // Shows a file-open dialog; returns the chosen path or an empty string.
    virtual QString openFileName(const QString& initialFolder, const QString& filter) = 0;
};

} // namespace quorlink
