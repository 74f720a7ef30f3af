#include "widgets/FitCaptions.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QToolButton>

namespace {

QString Caption(const QWidget* control)
{
    if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        return button->text().remove(QLatin1Char('&'));
    if (const auto* label = qobject_cast<const QLabel*>(control))
        if (!label->wordWrap() && label->pixmap().isNull() && label->textFormat() != Qt::RichText)
            return label->text();
    return QString();
}

bool PlacedByHand(const QWidget* control)
{
    const QWidget* parent = control->parentWidget();
    return parent && !(parent->layout() && parent->layout()->indexOf(control) >= 0);
}

} // namespace

int CaptionWidthNeeded(const QWidget* control)
{
    const QString caption = Caption(control);
    if (caption.isEmpty() || caption.contains(QLatin1Char('\n')))
        return 0;
    const int text = control->fontMetrics().horizontalAdvance(caption);
    const QStyle* style = control->style();
    if (qobject_cast<const QCheckBox*>(control) || qobject_cast<const QRadioButton*>(control))
        return text + style->pixelMetric(QStyle::PM_IndicatorWidth) + style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing) + 2;
    if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
        const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
        return text + icon + (qobject_cast<const QToolButton*>(control) ? 2 : 6);
    }
    if (const auto* label = qobject_cast<const QLabel*>(control))
        return text + 2 * label->margin() + 2 * label->frameWidth();
    return 0;
}

void FitCaptions(QWidget* window)
{
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (!PlacedByHand(control) || control->width() <= 0)
            continue;
        for (int needed = CaptionWidthNeeded(control); needed > control->width(); needed = CaptionWidthNeeded(control)) {
            QFont font = control->font();
            const int pixels = QFontInfo(font).pixelSize();
            if (pixels <= 7)
                break;
            font.setPixelSize(pixels - 1);
            control->setFont(font);
        }
    }
}
