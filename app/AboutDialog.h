#pragma once

#include "widgets/RollingDialog.h"

class QLabel;
class TLinkLabel;

// The About dialog, modal, made when first opened; it rolls open and shut.
class TAboutDialog : public TRollingDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 303;
    static constexpr int ClientHeight = 139;

    explicit TAboutDialog(QWidget* parent = nullptr);

    void SiteLinkClick(); // the web site
    void MailLinkClick(); // the e-mail address

private:
    // Its controls, its own.
    QLabel* ProgramIcon;
    TLinkLabel* SiteLink;
    TLinkLabel* MailLink;
};

