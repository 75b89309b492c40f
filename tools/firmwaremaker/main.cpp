// make_firmware: writes scrambled firmware files for trying the programs out
// without real firmware. Every file it writes carries the sample mark, so the
// programs send it to the simulated switch and pseudo-terminals only.
//
//   make_firmware samples FOLDER
//   make_firmware remote FILE --version "QLREM ver1.07 US" [options]
//   make_firmware manager FILE --version "QLMGR ver2.31 DE" [options]

#include "firmwaremaker.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <stdexcept>

using namespace quorlink::firmware::maker;

namespace {

int number(const QCommandLineParser& parser, const QString& option)
{
    bool ok = false;
    const int value = parser.value(option).toInt(&ok, 0);
    if (!ok || value < 0)
        throw std::invalid_argument("--" + option.toStdString() + " wants a number");
    return value;
}

QByteArray makeFile(const QCommandLineParser& parser, bool manager)
{
    const auto seed = static_cast<std::uint32_t>(number(parser, QStringLiteral("seed")));
    FirmwareMaker maker(seed);
    if (parser.isSet(QStringLiteral("lower")))
        maker.setLetterCase(LetterCase::Lower);
    const QString version = parser.value(QStringLiteral("version"));
    Image first = makeImage(static_cast<std::uint16_t>(number(parser, QStringLiteral("base"))),
                            number(parser, QStringLiteral("size")), version, seed);
    markAsSample(first, version);
    if (!manager)
        return maker.remoteFile(first);
    const QString secondVersion = parser.isSet(QStringLiteral("second-version"))
                                      ? parser.value(QStringLiteral("second-version"))
                                      : version;
    Image second =
        makeImage(static_cast<std::uint16_t>(number(parser, QStringLiteral("second-base"))),
                  number(parser, QStringLiteral("second-size")), secondVersion, seed + 100);
    markAsSample(second, secondVersion);
    return maker.managerFile(first, second);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes scrambled firmware files of made-up data (remote or management "
                       "card) or the set of sample files, all marked as samples for the "
                       "simulated switch."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("kind"),
                                 QStringLiteral("samples, remote or manager"));
    parser.addPositionalArgument(QStringLiteral("path"),
                                 QStringLiteral("folder for samples, file otherwise"));
    parser.addOptions({
        {QStringLiteral("version"), QStringLiteral("Version text, e.g. \"QLREM ver1.07 US\"."),
         QStringLiteral("text"), QStringLiteral("QLREM ver1.07 US")},
        {QStringLiteral("second-version"), QStringLiteral("Version text of the second image."),
         QStringLiteral("text")},
        {QStringLiteral("base"), QStringLiteral("Load address of the image."),
         QStringLiteral("address"), QStringLiteral("0x2000")},
        {QStringLiteral("size"), QStringLiteral("Bytes of generated image."),
         QStringLiteral("bytes"), QStringLiteral("4096")},
        {QStringLiteral("second-base"), QStringLiteral("Load address of the second image."),
         QStringLiteral("address"), QStringLiteral("0x2800")},
        {QStringLiteral("second-size"), QStringLiteral("Bytes of the second image."),
         QStringLiteral("bytes"), QStringLiteral("2048")},
        {QStringLiteral("seed"), QStringLiteral("Seed for contents, keys and padding."),
         QStringLiteral("number"), QStringLiteral("1")},
        {QStringLiteral("lower"), QStringLiteral("Write lower-case hex digits.")},
    });
    parser.process(app);

    const QStringList arguments = parser.positionalArguments();
    const QString kind = arguments.value(0);
    if (arguments.size() != 2 || !QStringList{"samples", "remote", "manager"}.contains(kind)) {
        err << parser.helpText();
        return 2;
    }
    try {
        if (kind == QLatin1String("samples")) {
            writeSampleFiles(arguments.at(1));
            return 0;
        }
        const QByteArray contents = makeFile(parser, kind == QLatin1String("manager"));
        QFile file(arguments.at(1));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(contents) != contents.size()) {
            err << "make_firmware: cannot write " << arguments.at(1) << "\n";
            return 1;
        }
    } catch (const std::exception& error) {
        err << "make_firmware: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
