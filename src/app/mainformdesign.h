#pragma once

#include <QSize>

namespace quorlink::progbar {
class ProgBar;
class PropertyBag;
} // namespace quorlink::progbar

namespace quorlink::app {

// The stored properties of the main window's bar (ProgBar1): blue bar,
// text in the system's window-text colour, percentage shown.
progbar::PropertyBag mainFormDesign();

// Its design size, 7646 x 450 hundredths of a millimetre.
QSize mainFormDesignSize(double dotsPerInch = 96.0);

// Loads the design into `bar` the way a window loads its controls (stored
// values taken as they are, no repaint) and gives it the design size.
void applyMainFormDesign(progbar::ProgBar& bar);

} // namespace quorlink::app
