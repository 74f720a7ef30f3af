#pragma once

#include <QDialog>

class TLinkLabel;

// The links dialog: four addresses, each opened in the desktop's browser when clicked.
// Not modal; made when first opened and centred on the desktop.
class TLinksDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 198;
    static constexpr int ClientHeight = 87;
    static const QStringList Addresses;

    explicit TLinksDialog(QWidget* parent = nullptr);

    void ProjectSiteLinkClick();
    void SearchLinkClick();
    void ToolkitLinkClick();
    void SystemLinkClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Open(int index);

private:
    // Its controls, its own.
    TLinkLabel* ProjectSiteLink;
    TLinkLabel* SearchLink;
    TLinkLabel* ToolkitLink;
    TLinkLabel* SystemLink;
};

