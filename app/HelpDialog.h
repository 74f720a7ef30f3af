#pragma once

#include "widgets/RollingDialog.h"

class QLabel;
class QPlainTextEdit;

// The help dialog, modal, made when first opened; it rolls open and shut. Text typed
// into its text box stays until the program ends.
class THelpDialog : public TRollingDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 436;
    static constexpr int ClientHeight = 127;
    static const QStringList HelpLines;

    explicit THelpDialog(QWidget* parent = nullptr);

private:
    // Its controls, its own.
    QLabel* ProgramIcon;
    QLabel* TitleLabel;
    QPlainTextEdit* HelpText;
};

