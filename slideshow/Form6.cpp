#include "slideshow/Form6.h"

#include "platform/HandlerGuard.h"
#include "platform/UpDown.h"
#include "platform/WindowGeometry.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

TOnFirstUse<TForm6> Form6;

TForm6::TForm6(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("Время ожидания:"));
    SetFixedDialogBorder(this, {ClientWidth, ClientHeight});
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    setFont(font);
    QPalette blue = palette();
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        blue.setColor(role, Qt::blue);
    setPalette(blue);

    auto label = [this](const QString& text, int y, int w) {
        auto* l = new QLabel(text, this);
        l->setGeometry(4, y, w, 16);
        return l;
    };
    Label1 = label(QStringLiteral("Установите время, через которое будут"), 4, 238);
    Label2 = label(QStringLiteral("чередоватся изображения во время показа"), 20, 261);
    Label3 = label(QStringLiteral("слайдов. Время задаётся в секундах."), 36, 230);
    Bevel1 = new QFrame(this);
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setGeometry(4, 56, 261, 81);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(8, 68, 221, 27);
    Edit1->setReadOnly(true); // the number changes with the arrows only
    QFont bold(QStringLiteral("Arial"));
    bold.setPixelSize(16);
    bold.setBold(true);
    Edit1->setFont(bold);
    UpDown1 = new TUpDown(Edit1, this);
    UpDown1->setObjectName(QStringLiteral("UpDown1"));
    UpDown1->setGeometry(229, 68, 28, 27);
    UpDown1->SetRange(0, 10000);
    UpDown1->SetPosition(3);

    QFont buttons = font;
    buttons.setBold(true);
    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("ОК"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(132, 100, 97, 29);
    BitBtn1->setToolTip(QStringLiteral("Подтвердить..."));
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Отмена"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(32, 100, 97, 29);
    for (QPushButton* b : {BitBtn1, BitBtn2})
        b->setFont(buttons);
    ConnectGuarded(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    ConnectGuarded(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
    Edit1->setFocus();
}

void TForm6::BitBtn1Click()
{
    bool ok = false;
    const int seconds = Edit1->text().toInt(&ok, 10);
    if (ok && SetSlideInterval)
        SetSlideInterval(seconds);
    accept();
}

void TForm6::BitBtn2Click() { reject(); }
