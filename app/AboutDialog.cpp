#include "app/AboutDialog.h"

#include "app/Icons.h"
#include "app/ProjectInfo.h"
#include "core/AppTitle.h"
#include "core/HandlerGuard.h"
#include "widgets/Accessibility.h"
#include "widgets/FitCaptions.h"
#include "widgets/LinkLabel.h"
#include "widgets/ReadableColours.h"
#include "widgets/WindowGeometry.h"

#include <QDesktopServices>
#include <QLabel>
#include <QUrl>


namespace {

QLabel* Text(QWidget* parent, const QString& text, int x, int y, const QString& tip = QString())
{
    auto* label = new QLabel(text, parent);
    SetTextColour(label, Qt::blue);
    label->move(x, y);
    label->adjustSize();
    label->setToolTip(tip);
    return label;
}

// A label that looks and acts as a link.
TLinkLabel* Link(QWidget* parent, const QString& name, const QString& text, int x, int y, const QString& tip)
{
    auto* label = new TLinkLabel(text, parent);
    label->setObjectName(name);
    label->move(x, y);
    label->setToolTip(tip);
    QFont f = label->font();
    f.setUnderline(true);
    label->setFont(f);
    label->adjustSize();
    return label;
}

} // namespace

TAboutDialog::TAboutDialog(QWidget* parent) : TRollingDialog(parent)
{
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(QStringLiteral("О программе"));
    SetFixedDialogBorder(this, {ClientWidth, ClientHeight});
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    setFont(font);
    SetTextColour(this, Qt::blue);

    ProgramIcon = new QLabel(this);
    ProgramIcon->setPixmap(::ProgramIcon().pixmap(32, 32));
    ProgramIcon->setGeometry(4, 4, 32, 32);

    Text(this, QStringLiteral("Программа: "), 48, 4, QStringLiteral("Название программы"));
    Text(this, QStringLiteral("Lumivo"), 144, 4);
    Text(this, QStringLiteral("Версия:"), 48, 20, QStringLiteral("Версия программы"));
    Text(this, QStringLiteral(LUMIVO_VERSION), 144, 20);
    Text(this, QStringLiteral("Автор:"), 48, 36, QStringLiteral("Автор программы"));
    Text(this, ProjectInfo::Author(), 144, 36);
    Text(this, QStringLiteral("Сайт:                "), 48, 52, QStringLiteral("Сайт разработчика"));
    SiteLink =
        Link(this, QStringLiteral("SiteLink"), ProjectInfo::Site(), 144, 52, QStringLiteral("Посетить сайт автора"));
    Text(this, QStringLiteral("E-mail:              "), 48, 68, QStringLiteral("Почта автора"));
    MailLink =
        Link(this, QStringLiteral("MailLink"), ProjectInfo::Mail(), 144, 68, QStringLiteral("Написать письмо автору"));
    const QStringList terms = ProjectInfo::Terms();
    for (int i = 0; i < terms.size(); ++i) {
        QLabel* line = Text(this, terms[i], 4, 88 + 16 * i);
        QFont small = line->font();
        small.setPixelSize(11);
        line->setFont(small);
        line->adjustSize();
    }

    NameControlsByTheirHints(this);
    FitCaptions(this);
    ConnectGuarded(SiteLink, &TLinkLabel::clicked, this, [this] { SiteLinkClick(); });
    ConnectGuarded(MailLink, &TLinkLabel::clicked, this, [this] { MailLinkClick(); });
}

void TAboutDialog::SiteLinkClick() { QDesktopServices::openUrl(QUrl(ProjectInfo::Site())); }

void TAboutDialog::MailLinkClick() { QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + ProjectInfo::Mail())); }
