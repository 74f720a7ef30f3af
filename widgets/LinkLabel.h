#pragma once

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

// A label that acts as a link: a hand-shaped pointer, a click signal on release of the left
// button over it, and from the keyboard: it takes the focus (shown by a dotted frame) and Enter or
// Space presses it.
class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLinkLabel(const QString& text, QWidget* parent = nullptr) : QLabel(text, parent)
    {
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::StrongFocus);
    }

    void Activate() { Q_EMIT clicked(); }

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            Q_EMIT clicked();
        QLabel::mouseReleaseEvent(event);
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->modifiers() == Qt::NoModifier &&
            (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space)) {
            Q_EMIT clicked();
            event->accept();
            return;
        }
        QLabel::keyPressEvent(event);
    }
    void paintEvent(QPaintEvent* event) override
    {
        QLabel::paintEvent(event);
        if (!hasFocus())
            return;
        QPainter painter(this);
        painter.setPen(QPen(palette().color(foregroundRole()), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};
