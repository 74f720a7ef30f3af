#pragma once

#include <QDialog>

// The slide interval dialog "Время ожидания:", modal, created once at start-up.
class TForm6 : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 273;
    static constexpr int ClientHeight = 144;

    explicit TForm6(QWidget* parent = nullptr);
};

extern TForm6* Form6;
