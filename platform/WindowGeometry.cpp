#include "platform/WindowGeometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void SetFixedDialogBorder(QWidget* window, const QSize& clientSize)
{
    window->setWindowFlag(Qt::MSWindowsFixedSizeDialogHint, true);
    window->setFixedSize(clientSize);
}

void SetOuterSize(QWidget* window, const QSize& outerSize)
{
    const QSize frame = window->frameGeometry().size() - window->geometry().size();
    window->resize(outerSize - frame);
}

void CenterOnDesktop(QWidget* window)
{
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect area = screen->availableGeometry();
    QRect frame = window->frameGeometry();
    frame.moveCenter(area.center());
    window->move(frame.topLeft());
}

bool WindowPositionsReported()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void PreferX11WhereWindowsHavePositions()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}
