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
        {QStringLiteral("sample"), file.sampleMarked},
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
    if (file.sampleMarked)
        streams.out << "  sample:   made up for the simulated switch; not sent to a real one\n";
}

} // namespace

int runCheck(const QStringList& arguments, Streams& streams)
{
    CommandLine line(QStringLiteral("check"));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Print one JSON object instead of text."));
    line.parser().addOption(json);
    line.parser().addPositionalArgument(QStringLiteral("FILE"),
                                        QStringLiteral("The firmware file (.hex)."));
    if (const auto done = line.parse(arguments, streams))
        return *done;
    if (const auto done = line.requirePositional(1, 1, QStringLiteral("file"), streams))
        return *done;
    const QString path = line.parser().positionalArguments().first();

    // Yields only keep the event loop turning; there is no window here.
    QtTimeSource time(Qt::CoarseTimer);
    const CardKind kind = firmware::cardKindOfFileName(path);
    FirmwareReader file;
    const FileOutcome outcome = file.readAndCheck(path, kind, time);

    if (line.parser().isSet(json))
        printJson(streams, file, outcome, kind);
    else
        printText(streams, path, file, outcome, kind);
    return outcome.ok() ? ExitCode::Success : ExitCode::FileError;
}

} // namespace quorlink::cli
