#include "slideshow/SlideIntervalDialog.h"

#include "core/HandlerGuard.h"
#include "widgets/FitCaptions.h"
#include "widgets/ReadableColours.h"
#include "widgets/UpDown.h"
#include "widgets/WindowGeometry.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>


TSlideIntervalDialog::TSlideIntervalDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SlideIntervalDialog"));
    setWindowTitle(QStringLiteral("Время ожидания:"));
    SetFixedDialogBorder(this, {ClientWidth, ClientHeight});
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    setFont(font);
    SetTextColour(this, Qt::blue);

    auto label = [this](const QString& text, int y, int w) {
        auto* l = new QLabel(text, this);
        l->setGeometry(4, y, w, 16);
        return l;
    };
    ExplanationLines[0] = label(QStringLiteral("Установите время, через которое будут"), 4, 238);
    ExplanationLines[1] = label(QStringLiteral("чередоватся изображения во время показа"), 20, 261);
    ExplanationLines[2] = label(QStringLiteral("слайдов. Время задаётся в секундах."), 36, 230);
    NumberFrame = new QFrame(this);
    NumberFrame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    NumberFrame->setGeometry(4, 56, 261, 81);

    SecondsEdit = new QLineEdit(this);
    SecondsEdit->setObjectName(QStringLiteral("SecondsEdit"));
    SecondsEdit->setAccessibleName(QStringLiteral("Задержка, секунды"));
    SecondsEdit->setGeometry(8, 68, 221, 27);
    SecondsEdit->setReadOnly(true); // the number changes with the arrows only
    QFont bold(QStringLiteral("Arial"));
    bold.setPixelSize(16);
    bold.setBold(true);
    SecondsEdit->setFont(bold);
    SecondsUpDown = new TUpDown(SecondsEdit, this);
    SecondsUpDown->setObjectName(QStringLiteral("SecondsUpDown"));
    SecondsUpDown->setGeometry(229, 68, 28, 27);
    SecondsUpDown->SetRange(0, 10000);
    SecondsUpDown->SetPosition(3);

    QFont buttons = font;
    buttons.setBold(true);
    OkButton = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("ОК"), this);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    OkButton->setGeometry(132, 100, 97, 29);
    OkButton->setToolTip(QStringLiteral("Подтвердить..."));
    OkButton->setDefault(true);
    CancelButton =
        new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Отмена"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setGeometry(32, 100, 97, 29);
    for (QPushButton* b : {OkButton, CancelButton})
        b->setFont(buttons);
    ConnectGuarded(OkButton, &QPushButton::clicked, this, [this] { OkClick(); });
    ConnectGuarded(CancelButton, &QPushButton::clicked, this, [this] { CancelClick(); });
    FitCaptions(this);
    SecondsEdit->setFocus();
}

void TSlideIntervalDialog::OkClick()
{
    bool ok = false;
    const int seconds = SecondsEdit->text().toInt(&ok, 10);
    if (ok && SetSlideInterval)
        SetSlideInterval(seconds);
    accept();
}

void TSlideIntervalDialog::CancelClick() { reject(); }
