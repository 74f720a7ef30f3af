#pragma once

#include <QWidget>

// The display window "Экран", in which every item is shown. Created hidden at start-up,
// shown by presenting, hidden (never destroyed) when closed.
class TForm4 : public QWidget {
    Q_OBJECT
public:
    static constexpr int DesignWidth = 692;
    static constexpr int DesignHeight = 471;

    explicit TForm4(QWidget* parent = nullptr);
};

extern TForm4* Form4;
