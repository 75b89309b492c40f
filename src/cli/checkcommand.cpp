#include "command.h"

#include "firmware/firmwarereader.h"
#include "firmware/language.h"
#include "platform/qttimesource.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace quorlink::cli {

namespace {

using firmware::CardKind;
using firmware::FileOutcome;
using firmware::FirmwareReader;

struct CheckArguments
{
    QString path;
    bool json = false;
};

// Returns an empty path when the arguments do not fit.
CheckArguments parse(const QStringList& arguments, QString& problem)
{
    CheckArguments parsed;
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--json")) {
            parsed.json = true;
        } else if (argument.startsWith(u'-') && argument.size() > 1) {
            problem = QStringLiteral("unknown option %1").arg(argument);
            return {};
        } else if (parsed.path.isEmpty()) {
            parsed.path = argument;
        } else {
            problem = QStringLiteral("one file at a time");
            return {};
        }
    }
    if (parsed.path.isEmpty() && problem.isEmpty())
        problem = QStringLiteral("which file?");
    return parsed;
}

QString kindName(CardKind kind)
{
    return kind == CardKind::Manager ? QStringLiteral("manager") : QStringLiteral("remote");
}

void printJson(Streams& streams, const FirmwareReader& file, const FileOutcome& outcome,
               CardKind kind)
{
    const QJsonObject result{
        {QStringLiteral("ok"), outcome.ok()},
        {QStringLiteral("message"), outcome.ok() ? QJsonValue() : QJsonValue(outcome.text)},
        {QStringLiteral("records"), file.recordCount},
        {QStringLiteral("version"), file.fileVersionText},
        {QStringLiteral("language"), firmware::languageCodeOf(file.fileVersionText)},
        {QStringLiteral("kind"), kindName(kind)},
    };
    streams.out << QJsonDocument(result).toJson(QJsonDocument::Compact) << "\n";
}

void printText(Streams& streams, const QString& path, const FirmwareReader& file,
               const FileOutcome& outcome, CardKind kind)
{
    const QString card = kind == CardKind::Manager ? QStringLiteral("management card")
                                                   : QStringLiteral("remote card");
    if (outcome.ok())
        streams.out << path << ": good " << card << " file\n";
    else
        streams.out << path << ": rejected as a " << card << " file\n"
                    << "  " << outcome.title << ": " << outcome.text << "\n";
    streams.out << "  records:  " << file.recordCount << "\n"
                << "  version:  " << file.fileVersionText << "\n"
                << "  language: " << firmware::languageCodeOf(file.fileVersionText) << "\n";
}

} // namespace

int runCheck(const QStringList& arguments, Streams& streams)
{
    QString problem;
    const CheckArguments parsed = parse(arguments, problem);
    if (!problem.isEmpty())
        return usageError(streams, QStringLiteral("check"), problem);

    // Yields only keep the event loop turning; there is no window here.
    QtTimeSource time(Qt::CoarseTimer);
    const CardKind kind = firmware::cardKindOfFileName(parsed.path);
    FirmwareReader file;
    const FileOutcome outcome = file.readAndCheck(parsed.path, kind, time);

    if (parsed.json)
        printJson(streams, file, outcome, kind);
    else
        printText(streams, parsed.path, file, outcome, kind);
    return outcome.ok() ? ExitCode::Success : ExitCode::Rejected;
}

} // namespace quorlink::cli
