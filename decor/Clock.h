#pragma once

// The analog clock: its geometry, the hand end points for a time, and the drawing of the
// face and hands layers. Each layer is a bitmap that starts white; white is the
// transparent colour of both, so the hands layer lies over the face.

#include <QImage>
#include <QPoint>
#include <QString>


class QLocale;
class QTime;

struct TClockGeometry {
    int Width = 0, Height = 0;
    int CentreX = 0, CentreY = 0;
    int HourLength = 0, MinuteLength = 0, SecondLength = 0, TickLength = 0;

    // All lengths come from the width; the height gives CentreY only.
    static TClockGeometry From(int width, int height);
};

namespace ClockColors {
inline constexpr QRgb Face = 0xFF000080;    // navy
inline constexpr QRgb Outline = 0xFFFEFFFF; // off-white, one step below white in red
inline constexpr QRgb Hour = 0xFFFF0000;    // red
inline constexpr QRgb Minute = 0xFF008000;  // green
inline constexpr QRgb Second = 0xFFFFFF00;  // yellow
inline constexpr QRgb Transparent = 0xFFFFFFFF;
} // namespace ClockColors

// The point at angle theta (radians, clockwise from 12 o'clock) and distance length from
// the centre, each coordinate truncated toward zero.
QPoint DialPoint(const TClockGeometry& g, double theta, int length);

struct THandTime {
    int Hour = 0, Minute = 0, Second = 0;
};

struct THandEnds {
    QPoint Hour, Minute, Second;
};
THandEnds HandEnds(const TClockGeometry& g, const THandTime& t);

// The time in the system's long time format (without a time zone).
QString LongTimeText(const QTime& time, const QLocale& locale);
// A locale's time format without its time-zone fields; quoted text is kept whole.
QString ClockTimeFormat(const QString& localeFormat);
// The last pixel before `to` on the line from `from`: where a canvas line from one to the
// other ends, the end point itself not drawn.
QPoint StopShort(const QPoint& from, const QPoint& to);

// A white layer of the geometry's size.
// At a device pixel ratio above 1 the layer has that many pixels to the unit, and is drawn
// in the same units: sharp on a high-density screen.
QImage NewClockLayer(const TClockGeometry& g, qreal devicePixelRatio = 1.0);
// The disc, its outline and the twelve tick marks. Drawn once.
void DrawClockFace(QImage& layer, const TClockGeometry& g);
// Repaints the three hands for the time t.
void DrawClockHands(QImage& layer, const TClockGeometry& g, const QTime& t);

// Makes the decorations' pictures (cursor frames, the picture shown instead of the clock)
// available under ":/"; safe to call more than once.
void LoadDecorResources();

// The picture shown in place of the analog clock when it is switched off.
QPixmap ClockOffPicture();

// The layer as a picture to show: white made transparent.
QPixmap LayerPixmap(const QImage& layer);
