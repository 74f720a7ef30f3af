#include "app/Form3.h"

#include "platform/WindowGeometry.h"

TForm3* Form3 = nullptr;

TForm3::TForm3(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Ссылки"));
    SetFixedDialogBorder(this, {ClientWidth, ClientHeight});
}
