#include "progbar.h"

#include "platform/sound.h"
#include "propertybag.h"

#include <QFileInfo>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>

namespace quorlink::progbar {

namespace {

constexpr qint64 int32Lowest = std::numeric_limits<qint32>::min();
constexpr qint64 int32Highest = std::numeric_limits<qint32>::max();

// Int(): the greatest integer not above x, held within the 32-bit range.
int floorToInt(double x)
{
    const double floored = std::floor(x);
    if (!(floored >= static_cast<double>(int32Lowest)))
        return static_cast<int>(int32Lowest);
    if (floored > static_cast<double>(int32Highest))
        return static_cast<int>(int32Highest);
    return static_cast<int>(floored);
}

int toInt32(qint64 x)
{
    return static_cast<int>(std::clamp(x, int32Lowest, int32Highest));
}

// Stored values of the wrong kind or outside their type read as the
// default, as a missing key does.
qint64 readInteger(const PropertyBag& bag, const QString& key, qint64 defaultValue, qint64 lowest,
                   qint64 highest)
{
    const QVariant stored = bag.readProperty(key, defaultValue);
    bool ok = false;
    const qint64 number = stored.toLongLong(&ok);
    return ok && number >= lowest && number <= highest ? number : defaultValue;
}

int readLong(const PropertyBag& bag, const QString& key, int defaultValue)
{
    return static_cast<int>(readInteger(bag, key, defaultValue, int32Lowest, int32Highest));
}

// Colours are stored as signed 32-bit numbers (system colours come out
// negative); the unsigned spelling is accepted as well.
OleColour readColour(const PropertyBag& bag, const QString& key, OleColour defaultValue)
{
    const qint64 stored =
        readInteger(bag, key, defaultValue, int32Lowest, std::numeric_limits<quint32>::max());
    return static_cast<OleColour>(stored);
}

bool readFlag(const PropertyBag& bag, const QString& key)
{
    return readInteger(bag, key, 0, std::numeric_limits<qint16>::min(),
                       std::numeric_limits<qint16>::max()) != 0;
}

QString readText(const PropertyBag& bag, const QString& key)
{
    return bag.readProperty(key, QString()).toString();
}

QVariant storedColour(OleColour colour)
{
    return qlonglong(static_cast<qint32>(colour));
}

QVariant storedFlag(bool flag)
{
    return qlonglong(flag ? -1 : 0);
}

QVariant storedNumber(int number)
{
    return qlonglong(number);
}

// The 96 dpi size of the standard bar.
constexpr QSize standardSize{289, 17};

} // namespace

ProgBar::ProgBar(QWidget* parent)
    : QWidget(parent),
      m_soundPlayer([](const QString& path, bool wait) { return playSoundFile(path, wait); })
{
}

void ProgBar::markChanged(const char* property)
{
    m_changed.insert(QString::fromLatin1(property));
}

void ProgBar::repaintNow()
{
    repaint();
}

void ProgBar::setWaitForSound(bool wait)
{
    m_waitForSound = wait;
    markChanged("WaitForSound");
}

void ProgBar::setBarStyle(int style)
{
    m_barStyle = style < 0 || style > 1 ? 1 : style;
    markChanged("BarStyle");
    repaintNow();
}

void ProgBar::setVerticalText(bool vertical)
{
    m_verticalText = vertical;
    markChanged("VerticalText");
    repaintNow();
}

void ProgBar::setSoundToPlay(const QString& path)
{
    m_soundToPlay = path;
    markChanged("SoundToPlay");
}

void ProgBar::setPlaySound(bool play)
{
    m_playSound = play;
    markChanged("PlaySound");
}

void ProgBar::setFontColour(OleColour colour)
{
    m_fontColour = colour;
    markChanged("FontColour");
    repaintNow();
}

void ProgBar::setBorderStyle(int style)
{
    m_borderStyle = std::clamp(style, 0, 1);
    markChanged("BorderStyle");
    repaintNow();
}

void ProgBar::setBarStartColour(OleColour colour)
{
    m_barStartColour = colour;
    markChanged("BarStartColour");
    repaintNow();
}

void ProgBar::setBarEndColour(OleColour colour)
{
    m_barEndColour = colour;
    markChanged("BarEndColour");
    repaintNow();
}

void ProgBar::setBackColour(OleColour colour)
{
    m_backColour = colour;
    markChanged("BackColour");
    repaintNow();
}

void ProgBar::setValue(int value)
{
    const int requested = value;
    if (value < m_min)
        value = m_min;
    else if (value > m_max)
        value = m_max;
    m_value = value;
    if (m_max > m_min) {
        const double share =
            (static_cast<double>(value) - m_min) / (static_cast<double>(m_max) - m_min) * 100;
        m_percent = std::clamp(floorToInt(share), 0, 100);
    } else {
        // Min >= Max only comes from stored values. Such a bar has no span
        // to share out, so it acts as a threshold: empty until the value
        // asked for reaches Max, then full. The value itself is held as the
        // clamp above left it.
        m_percent = requested >= m_max ? 100 : 0;
    }
    markChanged("Value");
    markChanged("Percent");
    repaintNow();
}

void ProgBar::followPercent()
{
    // No division here, so an empty span (Min = Max) is harmless.
    m_value = floorToInt(m_percent / 100.0 * (static_cast<double>(m_max) - m_min) + m_min);
}

void ProgBar::setMin(int min)
{
    if (min >= m_max)
        min = toInt32(qint64{m_max} - 1);
    m_min = min;
    followPercent();
    markChanged("Min");
    markChanged("Value");
    repaintNow();
}

void ProgBar::setMax(int max)
{
    if (max <= m_min)
        max = toInt32(qint64{m_min} + 1);
    m_max = max;
    followPercent();
    markChanged("Max");
    markChanged("Value");
    repaintNow();
}

void ProgBar::setShowValue(bool show)
{
    m_showValue = show;
    markChanged("ShowValue");
    if (show) {
        m_showPercent = false;
        markChanged("ShowPercent");
    }
    repaintNow();
}

void ProgBar::setShowPercent(bool show)
{
    m_showPercent = show;
    markChanged("ShowPercent");
    if (show) {
        m_showValue = false;
        markChanged("ShowValue");
    }
    repaintNow();
}

void ProgBar::setShowMessage(bool show)
{
    m_showMessage = show;
    markChanged("ShowMessage");
    repaintNow();
}

void ProgBar::setPercent(int percent)
{
    // A percentage is a byte: nothing below 0 can be held either.
    m_percent = std::clamp(percent, 0, 100);
    followPercent();
    markChanged("Percent");
    markChanged("Value");
    repaintNow();
}

void ProgBar::setMessage(const QString& message)
{
    m_message = message;
    markChanged("Message");
    repaintNow();
}

void ProgBar::setFillDirection(int direction)
{
    m_fillDirection = direction < 0 || direction > 3 ? 3 : direction;
    markChanged("FillDirection");
    repaintNow();
}

void ProgBar::writeProperties(PropertyBag& bag) const
{
    const QString empty;
    bag.writeProperty(QStringLiteral("BackColour"), storedColour(m_backColour),
                      storedColour(0x00FFFFFF));
    bag.writeProperty(QStringLiteral("BarStartColour"), storedColour(m_barStartColour),
                      storedColour(255));
    bag.writeProperty(QStringLiteral("BarEndColour"), storedColour(m_barEndColour),
                      storedColour(0));
    bag.writeProperty(QStringLiteral("BorderStyle"), storedNumber(m_borderStyle), storedNumber(1));
    bag.writeProperty(QStringLiteral("FillDirection"), storedNumber(m_fillDirection),
                      storedNumber(3));
    bag.writeProperty(QStringLiteral("FontColour"), storedColour(m_fontColour),
                      storedColour(0x00FF0000));
    bag.writeProperty(QStringLiteral("Max"), storedNumber(m_max), storedNumber(100));
    bag.writeProperty(QStringLiteral("Message"), m_message, empty);
    bag.writeProperty(QStringLiteral("Min"), storedNumber(m_min), storedNumber(0));
    bag.writeProperty(QStringLiteral("Percent"), storedNumber(m_percent), storedNumber(0));
    bag.writeProperty(QStringLiteral("ShowMessage"), storedFlag(m_showMessage), storedFlag(false));
    bag.writeProperty(QStringLiteral("ShowPercent"), storedFlag(m_showPercent), storedFlag(false));
    bag.writeProperty(QStringLiteral("ShowValue"), storedFlag(m_showValue), storedFlag(false));
    bag.writeProperty(QStringLiteral("Value"), storedNumber(m_value), storedNumber(0));
    bag.writeProperty(QStringLiteral("VerticalText"), storedFlag(m_verticalText),
                      storedFlag(false));
    bag.writeProperty(QStringLiteral("SoundToPlay"), m_soundToPlay, empty);
    bag.writeProperty(QStringLiteral("PlaySound"), storedFlag(m_playSound), storedFlag(false));
    bag.writeProperty(QStringLiteral("BarStyle"), storedNumber(m_barStyle), storedNumber(1));
    bag.writeProperty(QStringLiteral("WaitForSound"), storedFlag(m_waitForSound),
                      storedFlag(false));
}

void ProgBar::readProperties(const PropertyBag& bag)
{
    m_backColour = readColour(bag, QStringLiteral("BackColour"), 0x00FFFFFF);
    m_barStartColour = readColour(bag, QStringLiteral("BarStartColour"), 255);
    m_barEndColour = readColour(bag, QStringLiteral("BarEndColour"), 0);
    m_fillDirection = readLong(bag, QStringLiteral("FillDirection"), 3);
    m_max = readLong(bag, QStringLiteral("Max"), 100);
    m_message = readText(bag, QStringLiteral("Message"));
    m_min = readLong(bag, QStringLiteral("Min"), 0);
    m_percent = static_cast<int>(readInteger(bag, QStringLiteral("Percent"), 0, 0, 255));
    m_showMessage = readFlag(bag, QStringLiteral("ShowMessage"));
    m_showPercent = readFlag(bag, QStringLiteral("ShowPercent"));
    m_showValue = readFlag(bag, QStringLiteral("ShowValue"));
    m_value = readLong(bag, QStringLiteral("Value"), 0);
    m_verticalText = readFlag(bag, QStringLiteral("VerticalText"));
    m_borderStyle = static_cast<int>(readInteger(bag, QStringLiteral("BorderStyle"), 1,
                                                 std::numeric_limits<qint16>::min(),
                                                 std::numeric_limits<qint16>::max()));
    m_fontColour = readColour(bag, QStringLiteral("FontColour"), 0x00FF0000);
    m_soundToPlay = readText(bag, QStringLiteral("SoundToPlay"));
    m_playSound = readFlag(bag, QStringLiteral("PlaySound"));
    m_barStyle = readLong(bag, QStringLiteral("BarStyle"), 1);
    m_waitForSound = readFlag(bag, QStringLiteral("WaitForSound"));
}

QString ProgBar::displayText() const
{
    if (!m_showMessage && !m_showPercent && !m_showValue)
        return {};
    return composeBarText(m_showMessage, m_message, m_showPercent, m_showValue, m_percent, m_value,
                          m_max);
}

int ProgBar::ensureBandCount()
{
    if (!m_bandCount)
        m_bandCount = bandCountForDepth(m_depthOverride.value_or(depth()));
    return *m_bandCount;
}

void ProgBar::setColourDepthOverride(int bitsPerPixel)
{
    m_depthOverride = bitsPerPixel;
    m_bandCount.reset();
}

void ProgBar::setSoundPlayer(SoundPlayer player)
{
    m_soundPlayer = std::move(player);
}

BarLook ProgBar::look() const
{
    BarLook result;
    result.percent = m_percent;
    result.style = m_barStyle == 1 ? BarStyle::Solid : BarStyle::Gradient;
    // A stored direction outside 0..3 grows from the left, as a new bar does.
    result.direction = m_fillDirection >= 0 && m_fillDirection <= 2
                           ? static_cast<FillDirection>(m_fillDirection)
                           : FillDirection::FromLeft;
    result.startColour = toQColor(m_barStartColour, palette());
    result.endColour = toQColor(m_barEndColour, palette());
    result.backColour = toQColor(m_backColour, palette());
    return result;
}

void ProgBar::render(QPainter& painter, const QSize& size)
{
    drawBar(painter, size, look(), ensureBandCount());
    if (m_showMessage || m_showPercent || m_showValue)
        drawBarText(painter, size, displayText(), m_verticalText, toQColor(m_fontColour, palette()),
                    barTextFont());
}

QImage ProgBar::renderToImage(const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(palette().color(QPalette::Window));
    QPainter painter(&image);
    render(painter, size);
    return image;
}

QSize ProgBar::sizeHint() const
{
    return standardSize;
}

void ProgBar::paintEvent(QPaintEvent* /*event*/)
{
    {
        QPainter painter(this);
        QRect area = rect();
        if (m_borderStyle != 0) {
            painter.setPen(palette().color(QPalette::WindowText));
            painter.drawRect(area.adjusted(0, 0, -1, -1));
            area.adjust(1, 1, -1, -1);
        }
        painter.translate(area.topLeft());
        painter.setClipRect(QRect(QPoint(0, 0), area.size()));
        render(painter, area.size());
    }
    playWav();
}

void ProgBar::playWav()
{
    // Runs after every paint, so the sound repeats with every repaint while
    // the bar stands at 100 %.
    if (m_percent == 100 && m_playSound && QFileInfo(m_soundToPlay).isFile() && m_soundPlayer)
        m_soundPlayer(m_soundToPlay, m_waitForSound);
}

} // namespace quorlink::progbar
