#include "widgets/TrayClicks.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

namespace {

class ReleaseClicks : public QObject {
public:
    ReleaseClicks(QWidget* window, std::function<void(QSystemTrayIcon::ActivationReason)> onClick)
        : QObject(window), m_window(window), m_onClick(std::move(onClick))
    {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            m_pressed = static_cast<QMouseEvent*>(event)->button();
            return true; // the press alone does nothing
        case QEvent::MouseButtonRelease: {
            const auto* release = static_cast<QMouseEvent*>(event);
            const bool over = m_window->rect().contains(release->position().toPoint());
            const Qt::MouseButton button = release->button();
            if (over && button == m_pressed && (button == Qt::LeftButton || button == Qt::RightButton))
                m_onClick(button == Qt::LeftButton ? QSystemTrayIcon::Trigger : QSystemTrayIcon::Context);
            m_pressed = Qt::NoButton;
            return true;
        }
        default:
            return false;
        }
    }

private:
    QWidget* m_window;
    std::function<void(QSystemTrayIcon::ActivationReason)> m_onClick;
    Qt::MouseButton m_pressed = Qt::NoButton;
};

} // namespace

void ActOnReleaseOnly(QSystemTrayIcon* icon, std::function<void(QSystemTrayIcon::ActivationReason)> onClick)
{
    Q_UNUSED(icon); // Qt keeps one X11 window per shown icon; this program shows one icon
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->inherits("QSystemTrayIconSys") || window->findChild<QObject*>(QStringLiteral("lumivoReleaseClicks")))
            continue;
        auto* filter = new ReleaseClicks(window, onClick);
        filter->setObjectName(QStringLiteral("lumivoReleaseClicks"));
    }
}
