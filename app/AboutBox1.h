#pragma once

#include <QDialog>

// The About dialog, modal, created once at start-up.
class TAboutBox1 : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 303;
    static constexpr int ClientHeight = 139;

    explicit TAboutBox1(QWidget* parent = nullptr);
};

extern TAboutBox1* AboutBox1;
