#include "widgets/WindowGeometry.h"

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

QScreen* ScreenOf(const QWidget* window)
{
    return window->screen() ? window->screen() : QGuiApplication::primaryScreen();
}

void CenterOnDesktop(QWidget* window)
{
    QScreen* screen = ScreenOf(window);
    if (!screen)
        return;
    QRect area = screen->availableGeometry();
    QRect frame = window->frameGeometry();
    frame.moveCenter(area.center());
    window->move(frame.topLeft());
}

void CenterOverParent(QWidget* dialog, const QWidget* parent)
{
    const QWidget* over = parent ? parent->window() : nullptr;
    if (!over || !over->isVisible() || over->isMinimized()) {
        CenterOnDesktop(dialog);
        return;
    }
    QScreen* screen = ScreenOf(over);
    QRect frame = dialog->frameGeometry();
    frame.moveCenter(over->frameGeometry().center());
    if (screen) {
        const QRect area = screen->availableGeometry();
        frame.moveLeft(qBound(area.left(), frame.left(), qMax(area.left(), area.right() - frame.width() + 1)));
        frame.moveTop(qBound(area.top(), frame.top(), qMax(area.top(), area.bottom() - frame.height() + 1)));
    }
    dialog->move(frame.topLeft());
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
