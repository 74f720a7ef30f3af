#include "decor/Clock.h"

#include <QBitmap>
#include <QDateTime>
#include <QLocale>
#include <QPainter>
#include <QPixmap>

#include <cmath>
#include <numbers>

static void InitResources() { Q_INIT_RESOURCE(decor); }

void LoadDecorResources()
{
    static const bool loaded = (InitResources(), true);
    Q_UNUSED(loaded);
}

QPixmap ClockOffPicture()
{
    LoadDecorResources();
    return QPixmap(QStringLiteral(":/clock-off.jpg"));
}

TClockGeometry TClockGeometry::From(int width, int height)
{
    TClockGeometry g;
    g.Width = width;
    g.Height = height;
    g.CentreX = width / 2;
    g.CentreY = height / 2;
    g.HourLength = g.CentreX / 2;
    g.MinuteLength = (g.CentreX * 2) / 3;
    g.SecondLength = (g.CentreX * 4) / 5;
    g.TickLength = g.CentreX - g.SecondLength;
    return g;
}

QPoint DialPoint(const TClockGeometry& g, double theta, int length)
{
    const double a = -theta;
    const double pi = std::numbers::pi;
    return {g.CentreX + int(std::trunc(std::cos(a + pi / 2) * length)),
            g.CentreY + int(std::trunc(std::sin(a - pi / 2) * length))};
}

THandEnds HandEnds(const TClockGeometry& g, const THandTime& t)
{
    const double pi = std::numbers::pi;
    THandEnds ends;
    ends.Hour = DialPoint(g, ((t.Hour % 12) + t.Minute / 60.0) * pi / 6, g.HourLength);
    ends.Minute = DialPoint(g, (t.Minute + t.Second / 60.0) * pi / 30, g.MinuteLength);
    ends.Second = DialPoint(g, t.Second * pi / 30, g.SecondLength);
    return ends;
}

QString ClockTimeFormat(const QString& localeFormat)
{
    // Time zone fields ("t") have no place in a clock's text; quoted text stays as it is.
    QString format;
    bool quoted = false;
    for (QChar c : localeFormat) {
        if (c == QLatin1Char('\''))
            quoted = !quoted; // '' inside or outside quotes toggles twice: a literal quote
        else if (c == QLatin1Char('t') && !quoted)
            continue;
        format += c;
    }
    return format.trimmed();
}

QString LongTimeText(const QTime& time, const QLocale& locale)
{
    return time.toString(ClockTimeFormat(locale.timeFormat(QLocale::LongFormat)));
}

QPoint StopShort(const QPoint& from, const QPoint& to)
{
    // The last pixel before `to` on the line from `from`: one step back along the longer axis.
    const int dx = to.x() - from.x(), dy = to.y() - from.y();
    if (std::abs(dx) >= std::abs(dy)) {
        const int x = to.x() - (dx > 0 ? 1 : -1);
        return {x, from.y() + int(std::lround(double(x - from.x()) * dy / dx))};
    }
    const int y = to.y() - (dy > 0 ? 1 : -1);
    return {from.x() + int(std::lround(double(y - from.y()) * dx / dy)), y};
}

QImage NewClockLayer(const TClockGeometry& g, qreal devicePixelRatio)
{
    const qreal ratio = devicePixelRatio > 1 ? devicePixelRatio : 1.0;
    QImage layer(qRound(g.Width * ratio), qRound(g.Height * ratio), QImage::Format_RGB32);
    layer.setDevicePixelRatio(ratio);
    layer.fill(ClockColors::Transparent);
    return layer;
}

void DrawClockFace(QImage& layer, const TClockGeometry& g)
{
    QPainter p(&layer);
    p.setPen(QPen(QColor::fromRgb(ClockColors::Outline), 1));
    p.setBrush(QColor::fromRgb(ClockColors::Face));
    // The disc within (1, 1) to (Width, Height), right and bottom exclusive.
    p.drawEllipse(QRect(1, 1, g.Width - 2, g.Height - 2));
    const double pi = std::numbers::pi;
    for (int m = 0; m < 60; m += 5) {
        const double theta = m * pi / 30;
        const QPoint from = DialPoint(g, theta, g.SecondLength);
        const QPoint to = DialPoint(g, theta, g.SecondLength + g.TickLength);
        // Like a line drawn from one point to another on the system's canvas, the tick stops
        // short of its end point, which lies on the disc's bounding box.
        if (from != to)
            p.drawLine(from, StopShort(from, to));
    }
}

void DrawClockHands(QImage& layer, const TClockGeometry& g, const QTime& t)
{
    layer.fill(ClockColors::Transparent);
    const THandEnds ends = HandEnds(g, {t.hour(), t.minute(), t.second()});
    const QPoint centre(g.CentreX, g.CentreY);
    QPainter p(&layer);
    p.setPen(QPen(QColor::fromRgb(ClockColors::Hour), 2));
    p.drawLine(centre, ends.Hour);
    p.setPen(QPen(QColor::fromRgb(ClockColors::Minute), 2));
    p.drawLine(centre, ends.Minute);
    p.setPen(QPen(QColor::fromRgb(ClockColors::Second), 1));
    p.drawLine(centre, ends.Second);
}

QPixmap LayerPixmap(const QImage& layer)
{
    QPixmap pixmap = QPixmap::fromImage(layer);
    pixmap.setMask(pixmap.createMaskFromColor(QColor::fromRgb(ClockColors::Transparent)));
    return pixmap;
}
