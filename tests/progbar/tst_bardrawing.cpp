#include "progbar/bardrawing.h"
#include "progbar/progbar.h"

#include <QImage>
#include <QPainter>
#include <QTest>

using namespace quorlink::progbar;

namespace {

const QColor sentinel(1, 2, 3);

QImage paint(const QSize& size, const BarLook& look, int bands)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(sentinel);
    QPainter painter(&image);
    drawBar(painter, size, look, bands);
    return image;
}

BarLook lookOf(BarStyle style, FillDirection direction, int percent)
{
    BarLook look;
    look.style = style;
    look.direction = direction;
    look.percent = percent;
    look.startColour = QColor(0, 255, 0);
    look.endColour = QColor(0x12, 0x34, 0x56);
    look.backColour = QColor(255, 255, 255);
    return look;
}

// The pixel `depth` pixels in from the edge the bar grows away from, and
// `across` pixels along that edge, on a square of `side` pixels.
QPoint at(FillDirection direction, int side, int depth, int across)
{
    switch (direction) {
    case FillDirection::FromBottom:
        return {across, side - 1 - depth};
    case FillDirection::FromTop:
        return {across, depth};
    case FillDirection::FromRight:
        return {side - 1 - depth, across};
    case FillDirection::FromLeft:
        break;
    }
    return {depth, across};
}

// Colours met walking from the starting edge to the far edge, each run of
// equal pixels counted once.
QList<QRgb> coloursAlongFill(const QImage& image, FillDirection direction)
{
    QList<QRgb> runs;
    for (int depth = 0; depth < image.width(); ++depth) {
        const QRgb pixel = image.pixel(at(direction, image.width(), depth, 0));
        if (runs.isEmpty() || runs.last() != pixel)
            runs.append(pixel);
    }
    return runs;
}

void addDirectionRows(const char* suffix, int percent)
{
    const std::pair<const char*, FillDirection> directions[] = {
        {"from bottom", FillDirection::FromBottom},
        {"from top", FillDirection::FromTop},
        {"from right", FillDirection::FromRight},
        {"from left", FillDirection::FromLeft},
    };
    for (const auto& [name, direction] : directions)
        QTest::addRow("%s %s", name, suffix) << direction << percent;
}

} // namespace

class BarDrawingTest : public QObject
{
    Q_OBJECT

private slots:
    void solidFillsExactlyItsShare_data()
    {
        QTest::addColumn<FillDirection>("direction");
        QTest::addColumn<int>("percent");
        addDirectionRows("0%", 0);
        addDirectionRows("37%", 37);
        addDirectionRows("50%", 50);
        addDirectionRows("100%", 100);
    }

    void solidFillsExactlyItsShare()
    {
        QFETCH(FillDirection, direction);
        QFETCH(int, percent);
        const int side = 100;
        const BarLook look = lookOf(BarStyle::Solid, direction, percent);
        const QImage image = paint(QSize(side, side), look, 256);
        for (int depth = 0; depth < side; ++depth) {
            const QColor expected = depth < percent ? look.startColour : look.backColour;
            for (int across : {0, side / 2, side - 1})
                QCOMPARE(image.pixelColor(at(direction, side, depth, across)), expected);
        }
    }

    void fullGradientRunsFromStartToExactlyTheEndColour_data()
    {
        QTest::addColumn<FillDirection>("direction");
        QTest::addColumn<int>("percent");
        addDirectionRows("100%", 100);
    }

    void fullGradientRunsFromStartToExactlyTheEndColour()
    {
        QFETCH(FillDirection, direction);
        const QSize size(300, 300);
        const BarLook look = lookOf(BarStyle::Gradient, direction, 100);
        const QList<QRgb> runs = coloursAlongFill(paint(size, look, 64), direction);
        QCOMPARE(runs.size(), 64);
        QCOMPARE(QColor(runs.first()), look.startColour);
        QCOMPARE(QColor(runs.last()), look.endColour);
        // The stepped colours stop one step short; the exact end colour is
        // the last band's own repaint.
        QCOMPARE(QColor(runs.at(62)), QColor(0x11, 0x3A, 0x53));
    }

    void gradientPaintsOnlyWholeBands()
    {
        // 64 bands of 1.5625 px: band 30 ends at 48, band 31 would end at
        // the fill edge 50 and is left out; the back colour starts at 50.
        const BarLook look = lookOf(BarStyle::Gradient, FillDirection::FromLeft, 50);
        const QImage image = paint(QSize(100, 4), look, 64);
        QCOMPARE(image.pixelColor(47, 1), QColor(0x08, 0x9F, 0x28));
        QCOMPARE(image.pixelColor(48, 1), sentinel);
        QCOMPARE(image.pixelColor(49, 1), sentinel);
        QCOMPARE(image.pixelColor(50, 1), look.backColour);
    }

    void bandCountFollowsColourDepth_data()
    {
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("bands");
        QTest::newRow("4 bit") << 4 << 64;
        QTest::newRow("8 bit") << 8 << 64;
        QTest::newRow("15 bit") << 15 << 32;
        QTest::newRow("16 bit") << 16 << 256;
        QTest::newRow("24 bit") << 24 << 256;
        QTest::newRow("32 bit") << 32 << 256;
        QTest::newRow("1 bit, unknown") << 1 << 64;
    }

    void bandCountFollowsColourDepth()
    {
        QFETCH(int, depth);
        QFETCH(int, bands);
        ProgBar bar;
        bar.setColourDepthOverride(depth);
        bar.setBarStyle(0);
        // Green falls by at least one step per band, so neighbouring bands
        // always differ.
        bar.setBarStartColour(0x0000FF00);
        bar.setBarEndColour(0);
        bar.setPercent(100);
        const QImage image = bar.renderToImage(QSize(1024, 3));
        QCOMPARE(bar.bandCount(), bands);
        QCOMPARE(coloursAlongFill(image, FillDirection::FromLeft).size(), bands);
    }

    void widgetPaintsBarInsideItsBorder()
    {
        ProgBar bar;
        bar.resize(102, 12);
        bar.setBarStartColour(0x00FF0000);
        bar.setValue(40);
        const QImage bordered = bar.grab().toImage();
        const QColor frame = bar.palette().color(QPalette::WindowText);
        QCOMPARE(bordered.pixelColor(0, 5), frame);
        QCOMPARE(bordered.pixelColor(101, 5), frame);
        QCOMPARE(bordered.pixelColor(1, 5), QColor(Qt::blue));
        QCOMPARE(bordered.pixelColor(40, 5), QColor(Qt::blue));
        QCOMPARE(bordered.pixelColor(41, 5), QColor(Qt::white));

        bar.setBorderStyle(0);
        const QImage plain = bar.grab().toImage();
        QCOMPARE(plain.pixelColor(0, 5), QColor(Qt::blue));
        QCOMPARE(plain.pixelColor(40, 5), QColor(Qt::blue));
        QCOMPARE(plain.pixelColor(41, 5), QColor(Qt::white));
    }
};

QTEST_MAIN(BarDrawingTest)
#include "tst_bardrawing.moc"
