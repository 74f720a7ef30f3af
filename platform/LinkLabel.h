#pragma once

#include <QLabel>
#include <QMouseEvent>

// A label that acts as a link: a hand-shaped pointer, and a click signal on release of the
// left button over it.
class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLinkLabel(const QString& text, QWidget* parent = nullptr) : QLabel(text, parent)
    {
        setCursor(Qt::PointingHandCursor);
    }

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            Q_EMIT clicked();
        QLabel::mouseReleaseEvent(event);
    }
};
