#include "widgets/ReadableColours.h"

#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {

double Luminance(const QColor& c)
{
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    const QColor rgb = c.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

constexpr double ReadableContrast = 4.5;

} // namespace

double ContrastRatio(const QColor& a, const QColor& b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor& colour, const QColor& background)
{
    if (ContrastRatio(colour, background) >= ReadableContrast)
        return colour;
    // Towards white on a dark background, towards black on a light one, in small steps.
    const QColor target = Luminance(background) < 0.18 ? QColor(Qt::white) : QColor(Qt::black);
    for (int step = 1; step <= 20; ++step) {
        const double t = step / 20.0;
        const QColor mixed = QColor::fromRgbF(float(colour.redF() + (target.redF() - colour.redF()) * t),
                                              float(colour.greenF() + (target.greenF() - colour.greenF()) * t),
                                              float(colour.blueF() + (target.blueF() - colour.blueF()) * t));
        if (ContrastRatio(mixed, background) >= ReadableContrast)
            return mixed;
    }
    return target;
}

void SetTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    const struct {
        QPalette::ColorRole text, background;
    } pairs[] = {{QPalette::WindowText, QPalette::Window},
                 {QPalette::Text, QPalette::Base},
                 {QPalette::ButtonText, QPalette::Button}};
    for (const auto& pair : pairs) // every colour group, as a fixed colour is
        palette.setColor(pair.text, ReadableOn(colour, palette.color(QPalette::Active, pair.background)));
    widget->setPalette(palette);
}

QColor BackgroundBehind(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        if (w->autoFillBackground() || w->isWindow())
            return w->palette().color(w->backgroundRole());
    }
    return widget->palette().color(QPalette::Window);
}
