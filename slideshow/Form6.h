#pragma once

#include "platform/OnFirstUse.h"

#include <QDialog>

#include <functional>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class TUpDown;

// The slide interval dialog "Время ожидания:", modal, created once at start-up. Its number
// box keeps its own value between openings; the interval changes only on OK.
class TForm6 : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 273;
    static constexpr int ClientHeight = 144;

    explicit TForm6(QWidget* parent = nullptr);

    // Where OK stores the number (wired at start-up to the slide show's interval).
    std::function<void(int seconds)> SetSlideInterval;

    void BitBtn1Click(); // OK
    void BitBtn2Click(); // Cancel

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QFrame* Bevel1;
    QLineEdit* Edit1;
    TUpDown* UpDown1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
};

extern TOnFirstUse<TForm6> Form6;
