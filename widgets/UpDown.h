#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

// Up-down arrows attached to a text box: they step a number within a range, without
// wrapping round, and show it in the box. The Up and Down keys in the box step it too.
class TUpDown : public QWidget {
    Q_OBJECT
public:
    TUpDown(QLineEdit* associate, QWidget* parent = nullptr);

    void SetRange(int minimum, int maximum);
    void SetPosition(int position);
    int Position() const { return m_position; }
    void StepUp() { SetPosition(m_position + 1); }
    void StepDown() { SetPosition(m_position - 1); }

    QToolButton* UpButton;
    QToolButton* DownButton;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QLineEdit* m_associate;
    int m_minimum = 0, m_maximum = 100, m_position = 0;
};
