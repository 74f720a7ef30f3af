#include "presentation/Form4.h"

#include "platform/WindowGeometry.h"

TForm4* Form4 = nullptr;

TForm4::TForm4(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Экран"));
    SetOuterSize(this, {DesignWidth, DesignHeight});
}
