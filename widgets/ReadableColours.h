#pragma once

// Texts in the program's own fixed colours (blue labels, navy help) stay readable under any
// palette: a colour that is too close to the background it is drawn on is made lighter or
// darker until the two have a contrast of at least 4.5:1 (the WCAG level for text). Under
// the default light palette the fixed colours already have it and stay as they are.

#include <QColor>
#include <QPalette>

class QWidget;

// The WCAG contrast ratio of two colours, 1 to 21.
double ContrastRatio(const QColor& a, const QColor& b);

// colour itself when it reads well on background, else the nearest lighter (on a dark
// background) or darker (on a light one) colour of the same hue that does.
QColor ReadableOn(const QColor& colour, const QColor& background);

// Sets the text roles of a widget's palette to colour, each made readable on the
// background it is drawn on: window text on the window, text on the base, button text on
// the button.
void SetTextColour(QWidget* widget, const QColor& colour);

// The background a widget's own text is drawn on where it paints none itself: its own
// window colour if it fills its background, else that of the nearest parent that does (or
// of its window).
QColor BackgroundBehind(const QWidget* widget);
