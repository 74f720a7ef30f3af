#include "app/Icons.h"

#include <QApplication>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>

#include <functional>

namespace {

using Painter = std::function<void(QPainter&)>;

// Draws a picture on a transparent 18 x 18 grid scaled to the requested size.
QPixmap Draw(int size, const Painter& paint)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 18.0, size / 18.0);
    paint(p);
    return pixmap;
}

// An icon drawn when it is first shown, at the size it is shown at (in device pixels),
// and kept: a start-up draws only what its screen shows.
class TDrawnIcon : public QIconEngine {
public:
    explicit TDrawnIcon(Painter paint) : m_paint(std::move(paint)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap drawn = pixmap((QSizeF(rect.size()) * ratio).toSize(), mode, state);
        drawn.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect.topLeft(), drawn);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override
    {
        const int side = std::max(1, std::min(size.width(), size.height()));
        const quint64 key = quint64(side) << 8 | quint64(mode);
        if (const auto found = m_drawn.constFind(key); found != m_drawn.cend())
            return *found;
        QPixmap drawn = Draw(side, m_paint);
        if (mode != QIcon::Normal) {
            // Disabled and selected looks as the style makes them from the normal picture.
            QStyleOption option;
            option.palette = QApplication::palette();
            drawn = QApplication::style()->generatedIconPixmap(mode, drawn, &option);
        }
        m_drawn.insert(key, drawn);
        return drawn;
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int side = std::min(size.width(), size.height());
        return {side, side};
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return {{18, 18}, {36, 36}}; }
    QIconEngine* clone() const override { return new TDrawnIcon(m_paint); }
    QString key() const override { return QStringLiteral("lumivo-drawn"); }

private:
    Painter m_paint;
    QHash<quint64, QPixmap> m_drawn;
};

QIcon Icon(const Painter& paint) { return QIcon(new TDrawnIcon(paint)); }

void Page(QPainter& p)
{
    p.setPen(QPen(QColor(80, 80, 80), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 1.5, 10, 14));
    p.setPen(QPen(QColor(150, 150, 150), 1));
    for (double y : {5.0, 8.0, 11.0})
        p.drawLine(QPointF(5.5, y), QPointF(11.5, y));
}

void Badge(QPainter& p, const QColor& color)
{
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(QRectF(9, 9, 9, 9));
    p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
}

void Round(QPainter& p, const QColor& color)
{
    p.setPen(QPen(color.darker(130), 1));
    p.setBrush(color);
    p.drawEllipse(QRectF(1.5, 1.5, 15, 15));
}

void Glyph(QPainter& p, const QString& text, const QColor& color)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(true);
    f.setPixelSize(12);
    p.setFont(f);
    p.setPen(color);
    p.drawText(QRectF(0, 0, 18, 18), Qt::AlignCenter, text);
}

void Disc(QPainter& p)
{
    QRadialGradient g(QPointF(7, 7), 8);
    g.setColorAt(0, QColor(250, 250, 255));
    g.setColorAt(1, QColor(170, 180, 200));
    p.setPen(QPen(QColor(110, 110, 130), 1));
    p.setBrush(g);
    p.drawEllipse(QRectF(1.5, 1.5, 15, 15));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(7, 7, 4, 4));
}

void Arrow(QPainter& p, bool up)
{
    QPainterPath path;
    if (up) {
        path.moveTo(13.5, 8);
        path.lineTo(17.5, 13);
        path.lineTo(9.5, 13);
    } else {
        path.moveTo(13.5, 17);
        path.lineTo(17.5, 12);
        path.lineTo(9.5, 12);
    }
    path.closeSubpath();
    p.setPen(QPen(QColor(0, 90, 0), 1));
    p.setBrush(QColor(40, 180, 40));
    p.drawPath(path);
}

QIcon DrawProgramIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        icon.addPixmap(Draw(size, [](QPainter& p) {
            // A screen with a play mark: pictures and clips in one viewer.
            QLinearGradient g(0, 0, 0, 18);
            g.setColorAt(0, QColor(40, 70, 200));
            g.setColorAt(1, QColor(10, 20, 110));
            p.setPen(QPen(QColor(5, 10, 60), 0.8));
            p.setBrush(g);
            p.drawRoundedRect(QRectF(1, 2, 16, 14), 2.5, 2.5);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(255, 210, 40));
            QPainterPath play;
            play.moveTo(7, 5.5);
            play.lineTo(13, 9);
            play.lineTo(7, 12.5);
            play.closeSubpath();
            p.drawPath(play);
        }));
    }
    return icon;
}

} // namespace

QIcon ProgramIcon()
{
    // Drawn once, and kept to the end: the application, the main window, the tray and the
    // dialogs show the same picture.
    static const QIcon* icon = new QIcon(DrawProgramIcon());
    return *icon;
}

QList<QIcon> ToolbarImages()
{
    return {
        Icon([](QPainter& p) { // 0 add
            Page(p);
            Badge(p, QColor(30, 140, 30));
            p.drawLine(QPointF(13.5, 11), QPointF(13.5, 16));
            p.drawLine(QPointF(11, 13.5), QPointF(16, 13.5));
        }),
        Icon([](QPainter& p) { // 1 delete
            Page(p);
            Badge(p, QColor(200, 30, 30));
            p.drawLine(QPointF(11.7, 11.7), QPointF(15.3, 15.3));
            p.drawLine(QPointF(15.3, 11.7), QPointF(11.7, 15.3));
        }),
        Icon([](QPainter& p) { // 2 open playlist
            p.setPen(QPen(QColor(150, 110, 0), 1));
            p.setBrush(QColor(240, 200, 70));
            p.drawRect(QRectF(1.5, 4.5, 14, 11));
            p.setBrush(QColor(255, 225, 120));
            QPainterPath lid;
            lid.moveTo(1.5, 15.5);
            lid.lineTo(4.5, 8.5);
            lid.lineTo(17.5, 8.5);
            lid.lineTo(15.5, 15.5);
            lid.closeSubpath();
            p.drawPath(lid);
        }),
        Icon([](QPainter& p) { // 3 save playlist
            p.setPen(QPen(QColor(10, 30, 90), 1));
            p.setBrush(QColor(40, 80, 180));
            p.drawRect(QRectF(2.5, 2.5, 13, 13));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(5, 2.5, 8, 5));
            p.setBrush(QColor(200, 200, 200));
            p.drawRect(QRectF(5, 10.5, 8, 5));
        }),
        Icon([](QPainter& p) { // 4 start slide show
            QPainterPath play;
            play.moveTo(4, 2.5);
            play.lineTo(15.5, 9);
            play.lineTo(4, 15.5);
            play.closeSubpath();
            p.setPen(QPen(QColor(0, 90, 0), 1));
            p.setBrush(QColor(40, 180, 40));
            p.drawPath(play);
        }),
        Icon([](QPainter& p) { // 5 stop slide show
            p.setPen(QPen(QColor(120, 0, 0), 1));
            p.setBrush(QColor(210, 40, 40));
            p.drawRect(QRectF(3.5, 3.5, 11, 11));
        }),
        Icon([](QPainter& p) { // 6 interval
            Round(p, QColor(250, 250, 235));
            p.setPen(QPen(QColor(20, 20, 20), 1.4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(9, 9), QPointF(9, 4));
            p.drawLine(QPointF(9, 9), QPointF(12.5, 11));
        }),
        Icon([](QPainter& p) { // 7 about
            Round(p, QColor(40, 90, 210));
            Glyph(p, QStringLiteral("i"), Qt::white);
        }),
        Icon([](QPainter& p) { // 8 help
            Round(p, QColor(40, 150, 220));
            Glyph(p, QStringLiteral("?"), Qt::white);
        }),
        Icon([](QPainter& p) { // 9 exit
            p.setPen(QPen(QColor(90, 50, 10), 1));
            p.setBrush(QColor(170, 110, 50));
            p.drawRect(QRectF(3.5, 1.5, 9, 15));
            p.setBrush(QColor(250, 220, 80));
            p.drawEllipse(QRectF(9.5, 8.5, 2, 2));
            p.setPen(QPen(QColor(200, 30, 30), 1.8, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(11, 13.5), QPointF(17, 13.5));
            p.drawLine(QPointF(17, 13.5), QPointF(14.5, 11.5));
            p.drawLine(QPointF(17, 13.5), QPointF(14.5, 15.5));
        }),
    };
}

QIcon CdOpenImage()
{
    return Icon([](QPainter& p) {
        Disc(p);
        Arrow(p, true);
    });
}

QIcon CdCloseImage()
{
    return Icon([](QPainter& p) {
        Disc(p);
        Arrow(p, false);
    });
}

QIcon WizardImage()
{
    return Icon([](QPainter& p) {
        Page(p);
        p.setPen(QPen(QColor(90, 60, 20), 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 17), QPointF(15, 10));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(250, 200, 0));
        p.drawEllipse(QRectF(13.5, 6.5, 4, 4));
    });
}
