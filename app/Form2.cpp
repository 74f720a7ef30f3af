#include "app/Form2.h"

#include "platform/WindowGeometry.h"

TForm2* Form2 = nullptr;

TForm2::TForm2(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Справка"));
    SetFixedDialogBorder(this, {ClientWidth, ClientHeight});
}
