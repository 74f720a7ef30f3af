#include "app/LinksDialog.h"

#include "app/ProjectInfo.h"
#include "core/HandlerGuard.h"
#include "widgets/FitCaptions.h"
#include "widgets/LinkLabel.h"
#include "widgets/ReadableColours.h"
#include "widgets/WindowGeometry.h"

#include <QDesktopServices>
#include <QUrl>


// The project's site, a web search portal, the toolkit's home page, and a page of the
// operating system's site with a referral parameter.
const QStringList TLinksDialog::Addresses = {
    ProjectInfo::Site(),
    QStringLiteral("https://duckduckgo.com"),
    QStringLiteral("https://www.qt.io"),
    QStringLiteral("https://www.debian.org/intro/about?ref=lumivo"),
};

TLinksDialog::TLinksDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("LinksDialog"));
    setWindowTitle(QStringLiteral("Ссылки"));
    SetFixedDialogBorder(this, {ClientWidth, ClientHeight});
    setModal(false);

    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(16);
    font.setBold(true);
    TLinkLabel** labels[] = {&ProjectSiteLink, &SearchLink, &ToolkitLink, &SystemLink};
    const char* names[] = {"ProjectSiteLink", "SearchLink", "ToolkitLink", "SystemLink"};
    for (int i = 0; i < 4; ++i) {
        // The label shows the site; its tooltip and its click the whole address.
        QString shown = QUrl(Addresses[i]).host();
        if (shown.startsWith(QLatin1String("www.")))
            shown.remove(0, 4);
        auto* label = new TLinkLabel(shown, this);
        label->setObjectName(QLatin1String(names[i]));
        label->setFont(font);
        SetTextColour(label, Qt::blue);
        label->setToolTip(Addresses[i]);
        label->setGeometry(4, 4 + 20 * i, ClientWidth - 8, 19);
        *labels[i] = label;
    }
    FitCaptions(this);
    ConnectGuarded(ProjectSiteLink, &TLinkLabel::clicked, this, [this] { ProjectSiteLinkClick(); });
    ConnectGuarded(SearchLink, &TLinkLabel::clicked, this, [this] { SearchLinkClick(); });
    ConnectGuarded(ToolkitLink, &TLinkLabel::clicked, this, [this] { ToolkitLinkClick(); });
    ConnectGuarded(SystemLink, &TLinkLabel::clicked, this, [this] { SystemLinkClick(); });
}

void TLinksDialog::Open(int index) { QDesktopServices::openUrl(QUrl(Addresses[index])); }
void TLinksDialog::ProjectSiteLinkClick() { Open(0); }
void TLinksDialog::SearchLinkClick() { Open(1); }
void TLinksDialog::ToolkitLinkClick() { Open(2); }
void TLinksDialog::SystemLinkClick() { Open(3); }

void TLinksDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CenterOnDesktop(this);
}
