#pragma once

#include <cmath>

namespace quorlink::link {

// The progress bar's arithmetic over a run: ProgressStep = 100 /
// SelectedCount, kept in single precision, added up in ProgressValue in
// double precision; the bar shows the sum rounded (halves to even) and its
// text turns white once the sum passes 52, where the fill reaches the text.
class RunProgress
{
public:
    static constexpr double WhiteTextAbove = 52;
    static constexpr int BarMaximum = 100;

    explicit RunProgress(double count) : m_step(static_cast<float>(100.0 / count)) {}

    void advance() { m_value += m_step; }

    double value() const { return m_value; }
    bool whiteText() const { return m_value > WhiteTextAbove; }
    // The bar holds at its maximum when the sum runs past it.
    int barValue() const
    {
        const double rounded = std::nearbyint(m_value);
        return rounded > BarMaximum ? BarMaximum : static_cast<int>(rounded);
    }

private:
    float m_step;
    double m_value = 0;
};

} // namespace quorlink::link
