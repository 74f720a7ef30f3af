#pragma once

#include <QDialog>

// The help dialog, modal, created once at start-up; its text box keeps what was typed into it.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 436;
    static constexpr int ClientHeight = 127;

    explicit TForm2(QWidget* parent = nullptr);
};

extern TForm2* Form2;
