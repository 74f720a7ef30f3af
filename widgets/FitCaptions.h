#pragma once

// The windows keep their designed geometry, but a caption that does not fit its control
// (a larger system font, a longer translation) gets a smaller font that fits instead of
// being cut. At the default font every caption fits and nothing changes.

class QWidget;

// For every button, check box and one-line label of the window placed by hand.
void FitCaptions(QWidget* window);

// The width a control's caption needs with its current font, in pixels; 0 for a control
// whose caption is not fitted.
int CaptionWidthNeeded(const QWidget* control);
