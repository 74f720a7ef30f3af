#pragma once

#include "platform/OnFirstUse.h"
#include "platform/RollingDialog.h"

class QLabel;
class TLinkLabel;

// The About dialog, modal, created once at start-up; it rolls open and shut.
class TAboutBox1 : public TRollingDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 303;
    static constexpr int ClientHeight = 139;

    explicit TAboutBox1(QWidget* parent = nullptr);

    void Label8Click();  // the web site
    void Label10Click(); // the e-mail address

    QLabel* ProgramIcon;
    TLinkLabel* Label8;
    TLinkLabel* Label10;
};

extern TOnFirstUse<TAboutBox1> AboutBox1;
