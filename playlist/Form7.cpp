#include "playlist/Form7.h"

#include "platform/WindowGeometry.h"

TForm7* Form7 = nullptr;

TForm7::TForm7(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("Мастер плей-листов"));
    SetFixedDialogBorder(this, {ClientWidth, ClientHeight});
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(11);
    setFont(f);
}
