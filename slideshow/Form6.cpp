#include "slideshow/Form6.h"

#include "platform/WindowGeometry.h"

TForm6* Form6 = nullptr;

TForm6::TForm6(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("Время ожидания:"));
    SetFixedDialogBorder(this, {ClientWidth, ClientHeight});
}
