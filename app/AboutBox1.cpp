#include "app/AboutBox1.h"

#include "platform/WindowGeometry.h"

TAboutBox1* AboutBox1 = nullptr;

TAboutBox1::TAboutBox1(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox1"));
    setWindowTitle(QStringLiteral("О программе"));
    SetFixedDialogBorder(this, {ClientWidth, ClientHeight});
}
