// Reading and checking a firmware file against plainly reading its bytes.
// Prints times and their ratio; asserts nothing.
//
//   bench_firmwarefile [records...]     (default: 2000 30000)

#include "firmware/firmwarereader.h"
#include "firmwaremaker.h"
#include "platform/qttimesource.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace quorlink::firmware;
namespace maker = quorlink::firmware::maker;

namespace {

// Time that yields nothing, to show what the yields themselves cost.
class NoYieldTime final : public quorlink::TimeSource
{
public:
    std::unique_ptr<quorlink::LinkTimer> createTimer() override { return {}; }
    void yield() override {}
    void waitForEvent() override {}
    void sleep(int) override {}
    std::int64_t nowMicroseconds() const override { return 0; }
    void wakeAt(std::int64_t) override {}
};

QByteArray remoteFileOf(int records)
{
    maker::FirmwareMaker firmwareMaker(1);
    QStringList texts;
    const QByteArray bytes = maker::generatedBytes(0x10000, 1);
    for (int i = 0; i < records - 1; ++i) {
        const int address = (i * FullRecordDataBytes) % 0x10000;
        texts.append(firmwareMaker.recordText({static_cast<std::uint16_t>(address), 0,
                                               bytes.mid(address, FullRecordDataBytes),
                                               firmwareMaker.chooseKey()}));
    }
    texts.append(QString(EndRecordText));
    return firmwareMaker.fileContents(texts);
}

// Best of several runs, in milliseconds.
double bestOf(int runs, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return *std::min_element(times.begin(), times.end());
}

qint64 plainRead(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot open %s", qPrintable(path));
    char slot[SlotLength];
    qint64 sum = 0;
    for (qint64 got; (got = file.read(slot, SlotLength)) > 0;)
        sum += slot[got - 1];
    return sum;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QList<int> sizes;
    for (const QString& argument : app.arguments().mid(1))
        sizes.append(argument.toInt());
    if (sizes.isEmpty())
        sizes = {2000, 30000};

    QTemporaryDir dir;
    quorlink::QtTimeSource qtTime(Qt::PreciseTimer);
    NoYieldTime noYields;
    std::printf("%8s %10s %12s %14s %14s %8s\n", "records", "bytes", "plain ms", "check ms",
                "no-yield ms", "ratio");
    for (int records : sizes) {
        records = std::clamp(records, 2, FirmwareReader::MaxRecordCount);
        const QString path = dir.filePath(QStringLiteral("qdx_rem_bench_e.hex"));
        const QByteArray contents = remoteFileOf(records);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(contents) != contents.size())
            qFatal("cannot write %s", qPrintable(path));
        file.close();

        volatile qint64 sink = 0;
        const int runs = records > 10000 ? 5 : 20;
        const double plain = bestOf(runs, [&] { sink = sink + plainRead(path); });
        bool ok = true;
        const double checked = bestOf(runs, [&] {
            FirmwareReader firmware;
            ok = ok && firmware.readAndCheck(path, CardKind::Remote, qtTime).ok();
        });
        const double unyielded = bestOf(runs, [&] {
            FirmwareReader firmware;
            ok = ok && firmware.readAndCheck(path, CardKind::Remote, noYields).ok();
        });
        if (!ok)
            qFatal("the generated file was rejected");
        std::printf("%8d %10lld %12.2f %14.2f %14.2f %8.1f\n", records,
                    static_cast<long long>(contents.size()), plain, checked, unyielded,
                    checked / plain);
    }
    return 0;
}
