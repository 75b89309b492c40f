#pragma once

#include <QString>

#include <array>

namespace quorlink::firmware {

// The on-screen display language of a firmware image, as its version text
// carries it: the two characters that begin eight after the "v" of the first
// "ver" (any letter case), as in "QLMGR ver2.31 US". Empty when the text has
// no "ver"; shorter when the text ends early.
QString languageCodeOf(const QString& versionText);

// The OSD languages the cards know: codes as the version texts carry them,
// and the names the user is shown, in the same order.
inline constexpr std::size_t LanguageCount = 7;
const std::array<QString, LanguageCount>& languageCodes();
const std::array<QString, LanguageCount>& languageNames();

// Before a management card update: does the file keep the card's OSD
// language, and if not, what the user is asked.
struct LanguageCheck
{
    enum class Outcome
    {
        Same,                // nothing to ask
        UnknownFileLanguage, // the file's text names no known language
        Question             // ask `question`: Yes goes on with a language change
    };
    Outcome outcome = Outcome::Same;
    // "Your OSD language will be changed from X to Y" (or "... will be set
    // to Y" when the card's language is unknown), then "\r\nContinue (Y/N)?".
    QString question;
};
LanguageCheck checkLanguage(const QString& cardVersionText, const QString& fileVersionText);

} // namespace quorlink::firmware
