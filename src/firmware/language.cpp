#include "language.h"

namespace quorlink::firmware {

QString languageCodeOf(const QString& versionText)
{
    const qsizetype v = versionText.indexOf(QLatin1String("ver"), 0, Qt::CaseInsensitive);
    if (v < 0)
        return {};
    return versionText.mid(v + 8, 2);
}

const std::array<QString, LanguageCount>& languageCodes()
{
    static const std::array<QString, LanguageCount> codes = {
        QStringLiteral("US"), QStringLiteral("DE"), QStringLiteral("ES"), QStringLiteral("NL"),
        QStringLiteral("FR"), QStringLiteral("IT"), QStringLiteral("JP")};
    return codes;
}

const std::array<QString, LanguageCount>& languageNames()
{
    static const std::array<QString, LanguageCount> names = {
        QStringLiteral("English"), QStringLiteral("German (Standard)"),
        QStringLiteral("Spanish"), QStringLiteral("Dutch"),
        QStringLiteral("French"),  QStringLiteral("Italian"),
        QStringLiteral("Japanese")};
    return names;
}

namespace {

// The name of the language of `code` (any letter case), or empty.
QString languageNameOf(const QString& code)
{
    for (std::size_t i = 0; i < LanguageCount; ++i) {
        if (languageCodes()[i].compare(code, Qt::CaseInsensitive) == 0)
            return languageNames()[i];
    }
    return {};
}

} // namespace

LanguageCheck checkLanguage(const QString& cardVersionText, const QString& fileVersionText)
{
    const QString cardCode = languageCodeOf(cardVersionText);
    const QString fileCode = languageCodeOf(fileVersionText);
    if (!fileCode.isEmpty() && fileCode == cardCode)
        return {LanguageCheck::Outcome::Same, {}};
    const QString fileLanguage = languageNameOf(fileCode);
    if (fileLanguage.isEmpty())
        return {LanguageCheck::Outcome::UnknownFileLanguage, {}};
    const QString cardLanguage = languageNameOf(cardCode);
    const QString question =
        cardLanguage.isEmpty()
            ? QStringLiteral("Your OSD language will be set to ") + fileLanguage
            : QStringLiteral("Your OSD language will be changed from ") + cardLanguage +
                  QStringLiteral(" to ") + fileLanguage;
    return {LanguageCheck::Outcome::Question, question + QStringLiteral("\r\nContinue (Y/N)?")};
}

} // namespace quorlink::firmware
