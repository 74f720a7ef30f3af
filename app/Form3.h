#pragma once

#include "platform/OnFirstUse.h"

#include <QDialog>

class TLinkLabel;

// The links dialog: four addresses, each opened in the desktop's browser when clicked.
// Not modal; created once at start-up and centred on the desktop.
class TForm3 : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 198;
    static constexpr int ClientHeight = 87;
    static const QStringList Addresses;

    explicit TForm3(QWidget* parent = nullptr);

    void Label1Click();
    void Label2Click();
    void Label3Click();
    void Label4Click();

    TLinkLabel* Label1;
    TLinkLabel* Label2;
    TLinkLabel* Label3;
    TLinkLabel* Label4;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Open(int index);
};

extern TOnFirstUse<TForm3> Form3;
