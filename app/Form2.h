#pragma once

#include "platform/OnFirstUse.h"
#include "platform/RollingDialog.h"

class QLabel;
class QPlainTextEdit;

// The help dialog, modal, created once at start-up; it rolls open and shut. Text typed
// into its text box stays until the program ends.
class TForm2 : public TRollingDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 436;
    static constexpr int ClientHeight = 127;
    static const QStringList HelpLines;

    explicit TForm2(QWidget* parent = nullptr);

    QLabel* Image1;
    QLabel* Label1;
    QPlainTextEdit* Memo1;
};

extern TOnFirstUse<TForm2> Form2;
