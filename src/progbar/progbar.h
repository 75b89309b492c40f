#pragma once

#include "bardrawing.h"
#include "olecolour.h"

#include <QSet>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

namespace quorlink::progbar {

class PropertyBag;

// The program's own progress bar: fills a share of its area by a
// percentage, solid or as a colour gradient, in one of four directions;
// writes a message, the percentage or "value/max" over the bar; and can
// play a sound file when it stands at 100 %.
//
// Every set applies its range rule, marks the property (and any property it
// changes along with it) as changed, and, except for the three sound
// properties, repaints at once. Value and Percent follow each other: the one
// set last wins.
class ProgBar : public QWidget
{
    Q_OBJECT
    Q_CLASSINFO("Value", "Returns/sets the value on the progress bar.")
    Q_CLASSINFO("Min", "Returns/sets the progress bars lower limit.")
    Q_CLASSINFO("ShowValue", "Returns/sets the flag to indicate the value should be shown.")
    Q_CLASSINFO("ShowPercent", "Returns/sets the flag to indicate the percentage should be shown.")
    Q_CLASSINFO("ShowMessage", "Returns/sets the flag to indicate the message should be shown.")
    Q_CLASSINFO("Percent", "Returns/sets the percentage on the progress bar.")
    Q_CLASSINFO("FillDirection", "Returns/sets the the fill direction of the progress bar.")
    Q_PROPERTY(bool WaitForSound READ waitForSound WRITE setWaitForSound)
    Q_PROPERTY(int BarStyle READ barStyle WRITE setBarStyle)
    Q_PROPERTY(bool VerticalText READ verticalText WRITE setVerticalText)
    Q_PROPERTY(QString SoundToPlay READ soundToPlay WRITE setSoundToPlay)
    Q_PROPERTY(bool PlaySound READ playSound WRITE setPlaySound)
    Q_PROPERTY(quint32 FontColour READ fontColour WRITE setFontColour)
    Q_PROPERTY(int BorderStyle READ borderStyle WRITE setBorderStyle)
    Q_PROPERTY(quint32 BarStartColour READ barStartColour WRITE setBarStartColour)
    Q_PROPERTY(quint32 BarEndColour READ barEndColour WRITE setBarEndColour)
    Q_PROPERTY(quint32 BackColour READ backColour WRITE setBackColour)
    Q_PROPERTY(int Value READ value WRITE setValue)
    Q_PROPERTY(int Min READ min WRITE setMin)
    Q_PROPERTY(bool ShowValue READ showValue WRITE setShowValue)
    Q_PROPERTY(bool ShowPercent READ showPercent WRITE setShowPercent)
    Q_PROPERTY(bool ShowMessage READ showMessage WRITE setShowMessage)
    Q_PROPERTY(int Percent READ percent WRITE setPercent)
    Q_PROPERTY(QString Message READ message WRITE setMessage)
    Q_PROPERTY(int Max READ max WRITE setMax)
    Q_PROPERTY(int FillDirection READ fillDirection WRITE setFillDirection)

public:
    // Plays a sound file; returns whether it played. Replaceable so that the
    // 100 % sound can be observed without a loudspeaker.
    using SoundPlayer = std::function<bool(const QString& path, bool wait)>;

    explicit ProgBar(QWidget* parent = nullptr);

    bool waitForSound() const { return m_waitForSound; }
    void setWaitForSound(bool wait);
    // 0 gradient, 1 solid; anything else becomes 1.
    int barStyle() const { return m_barStyle; }
    void setBarStyle(int style);
    bool verticalText() const { return m_verticalText; }
    void setVerticalText(bool vertical);
    QString soundToPlay() const { return m_soundToPlay; }
    void setSoundToPlay(const QString& path);
    bool playSound() const { return m_playSound; }
    void setPlaySound(bool play);
    OleColour fontColour() const { return m_fontColour; }
    void setFontColour(OleColour colour);
    // 0 none, 1 a single line; clamped into 0..1.
    int borderStyle() const { return m_borderStyle; }
    void setBorderStyle(int style);
    OleColour barStartColour() const { return m_barStartColour; }
    void setBarStartColour(OleColour colour);
    OleColour barEndColour() const { return m_barEndColour; }
    void setBarEndColour(OleColour colour);
    OleColour backColour() const { return m_backColour; }
    void setBackColour(OleColour colour);
    // Clamped to Min..Max; Percent follows.
    int value() const { return m_value; }
    void setValue(int value);
    // Kept below Max; Value follows Percent.
    int min() const { return m_min; }
    void setMin(int min);
    // True clears ShowPercent.
    bool showValue() const { return m_showValue; }
    void setShowValue(bool show);
    // True clears ShowValue.
    bool showPercent() const { return m_showPercent; }
    void setShowPercent(bool show);
    bool showMessage() const { return m_showMessage; }
    void setShowMessage(bool show);
    // 0..100 (above 100 becomes 100, below 0 becomes 0); Value follows.
    int percent() const { return m_percent; }
    void setPercent(int percent);
    QString message() const { return m_message; }
    void setMessage(const QString& message);
    // Kept above Min; Value follows Percent.
    int max() const { return m_max; }
    void setMax(int max);
    // 0 from the bottom, 1 from the top, 2 from the right, 3 from the left;
    // anything else becomes 3.
    int fillDirection() const { return m_fillDirection; }
    void setFillDirection(int direction);

    // Names of the properties set since the marks were last cleared; what a
    // saver would need to store.
    QSet<QString> changedProperties() const { return m_changed; }
    void clearChangedMarks() { m_changed.clear(); }

    // Stores what differs from the defaults, in the fixed key order.
    void writeProperties(PropertyBag& bag) const;
    // Takes stored values as they are: no range rules, no repaint.
    void readProperties(const PropertyBag& bag);

    // The text shown over the bar, empty when none is asked for.
    QString displayText() const;

    // Draws bar and text onto `painter` for an area of `size` pixels at the
    // painter's origin; no border, no sound. Decides the band count on its
    // first use.
    void render(QPainter& painter, const QSize& size);
    QImage renderToImage(const QSize& size);

    // Gradient bands of this instance, 0 before the first paint.
    int bandCount() const { return m_bandCount.value_or(0); }
    // Paints as if the display had this colour depth from the next paint
    // on (the band count is decided anew).
    void setColourDepthOverride(int bitsPerPixel);

    void setSoundPlayer(SoundPlayer player);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void markChanged(const char* property);
    void repaintNow();
    void followPercent();
    int ensureBandCount();
    BarLook look() const;
    void playWav();

    bool m_waitForSound = false;
    int m_barStyle = 1;
    bool m_verticalText = false;
    QString m_soundToPlay;
    bool m_playSound = false;
    OleColour m_fontColour = 0x00FF0000;
    int m_borderStyle = 1;
    OleColour m_barStartColour = 0x000000FF;
    OleColour m_barEndColour = 0;
    OleColour m_backColour = 0x00FFFFFF;
    int m_value = 0;
    int m_min = 0;
    bool m_showValue = false;
    bool m_showPercent = false;
    bool m_showMessage = false;
    int m_percent = 0;
    QString m_message;
    int m_max = 100;
    int m_fillDirection = 3;

    QSet<QString> m_changed;
    std::optional<int> m_depthOverride;
    std::optional<int> m_bandCount;
    SoundPlayer m_soundPlayer;
};

} // namespace quorlink::progbar
