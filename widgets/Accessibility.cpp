#include "widgets/Accessibility.h"

#include "widgets/LinkLabel.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QProgressBar>

namespace {

class TAccessibleLink : public QAccessibleWidget {
public:
    explicit TAccessibleLink(TLinkLabel* link) : QAccessibleWidget(link, QAccessible::Link) {}
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<TLinkLabel*>(widget())->text();
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override
    {
        if (name == pressAction())
            static_cast<TLinkLabel*>(widget())->Activate();
    }
};

QAccessibleInterface* Roles(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String("TLinkLabel"))
        return new TAccessibleLink(static_cast<TLinkLabel*>(widget));
    // Asked first with the most derived class: a window of a class of our own.
    const bool mostDerived = className == QLatin1String(object->metaObject()->className());
    if (mostDerived && widget->isWindow() && className.startsWith(QLatin1Char('T')) &&
        !qobject_cast<QDialog*>(widget) && !qobject_cast<QMainWindow*>(widget))
        return new QAccessibleWidget(widget, QAccessible::Window);
    return nullptr;
}

bool HasReadableCaption(const QWidget* control)
{
    if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        return !button->text().remove(QLatin1Char('&')).trimmed().isEmpty();
    if (const auto* label = qobject_cast<const QLabel*>(control))
        return !label->text().trimmed().isEmpty();
    return false;
}

} // namespace

void InstallAccessibleRoles() { QAccessible::installFactory(Roles); }

void NameControlsByTheirHints(QWidget* window)
{
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (!control->accessibleName().isEmpty() || control->toolTip().isEmpty() || HasReadableCaption(control))
            continue;
        QString name = control->toolTip().trimmed();
        while (name.endsWith(QLatin1Char('.')) || name.endsWith(QChar(0x2026)))
            name.chop(1);
        control->setAccessibleName(name.trimmed());
    }
}
