#include "widgets/UpDown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

TUpDown::TUpDown(QLineEdit* associate, QWidget* parent) : QWidget(parent), m_associate(associate)
{
    UpButton = new QToolButton(this);
    DownButton = new QToolButton(this);
    UpButton->setAccessibleName(QStringLiteral("Больше"));
    DownButton->setAccessibleName(QStringLiteral("Меньше"));
    UpButton->setArrowType(Qt::UpArrow);
    DownButton->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {UpButton, DownButton}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
    }
    connect(UpButton, &QToolButton::clicked, this, &TUpDown::StepUp);
    connect(DownButton, &QToolButton::clicked, this, &TUpDown::StepDown);
    if (m_associate)
        m_associate->installEventFilter(this);
    SetPosition(0);
}

void TUpDown::SetRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = maximum;
    SetPosition(m_position);
}

void TUpDown::SetPosition(int position)
{
    m_position = qBound(m_minimum, position, m_maximum);
    if (m_associate)
        m_associate->setText(QString::number(m_position));
}

bool TUpDown::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_associate && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            key == Qt::Key_Up ? StepUp() : StepDown();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TUpDown::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int half = height() / 2;
    UpButton->setGeometry(0, 0, width(), half);
    DownButton->setGeometry(0, half, width(), height() - half);
}
