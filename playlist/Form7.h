#pragma once

#include <QDialog>

// The playlist wizard "Мастер плей-листов": a modal dialog, created once at start-up and
// kept for the program's lifetime, so its contents survive between openings.
class TForm7 : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 441;
    static constexpr int ClientHeight = 480;

    explicit TForm7(QWidget* parent = nullptr);
};

extern TForm7* Form7;
