#pragma once

#include <QDialog>

// The links dialog, not modal, created once at start-up.
class TForm3 : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 198;
    static constexpr int ClientHeight = 87;

    explicit TForm3(QWidget* parent = nullptr);
};

extern TForm3* Form3;
