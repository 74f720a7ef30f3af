#pragma once

#include <QDialog>

#include <functional>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class TUpDown;

// The slide interval dialog "Время ожидания:", modal, made when first opened. Its number
// box keeps its own value between openings; the interval changes only on OK.
class TSlideIntervalDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 273;
    static constexpr int ClientHeight = 144;

    explicit TSlideIntervalDialog(QWidget* parent = nullptr);

    // Where OK stores the number (wired at start-up to the slide show's interval).
    std::function<void(int seconds)> SetSlideInterval;

    void OkClick();
    void CancelClick();

private:
    // Its controls, its own.
    QLabel* ExplanationLines[3];
    QFrame* NumberFrame;
    QLineEdit* SecondsEdit;
    TUpDown* SecondsUpDown;
    QPushButton* OkButton;
    QPushButton* CancelButton;
};

