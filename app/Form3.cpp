#include "app/Form3.h"

#include "app/ProjectInfo.h"
#include "platform/HandlerGuard.h"
#include "platform/LinkLabel.h"
#include "platform/WindowGeometry.h"

#include <QDesktopServices>
#include <QUrl>

TOnFirstUse<TForm3> Form3;

// The project's site, a web search portal, the toolkit's home page, and a page of the
// operating system's site with a referral parameter.
const QStringList TForm3::Addresses = {
    ProjectInfo::Site(),
    QStringLiteral("https://duckduckgo.com"),
    QStringLiteral("https://www.qt.io"),
    QStringLiteral("https://www.debian.org/intro/about?ref=lumivo"),
};

TForm3::TForm3(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Ссылки"));
    SetFixedDialogBorder(this, {ClientWidth, ClientHeight});
    setModal(false);

    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(16);
    font.setBold(true);
    TLinkLabel** labels[] = {&Label1, &Label2, &Label3, &Label4};
    for (int i = 0; i < 4; ++i) {
        // The label shows the site; its tooltip and its click the whole address.
        QString shown = QUrl(Addresses[i]).host();
        if (shown.startsWith(QLatin1String("www.")))
            shown.remove(0, 4);
        auto* label = new TLinkLabel(shown, this);
        label->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        label->setFont(font);
        QPalette blue = label->palette();
        blue.setColor(QPalette::WindowText, Qt::blue);
        label->setPalette(blue);
        label->setToolTip(Addresses[i]);
        label->setGeometry(4, 4 + 20 * i, ClientWidth - 8, 19);
        *labels[i] = label;
    }
    ConnectGuarded(Label1, &TLinkLabel::clicked, this, [this] { Label1Click(); });
    ConnectGuarded(Label2, &TLinkLabel::clicked, this, [this] { Label2Click(); });
    ConnectGuarded(Label3, &TLinkLabel::clicked, this, [this] { Label3Click(); });
    ConnectGuarded(Label4, &TLinkLabel::clicked, this, [this] { Label4Click(); });
}

void TForm3::Open(int index) { QDesktopServices::openUrl(QUrl(Addresses[index])); }
void TForm3::Label1Click() { Open(0); }
void TForm3::Label2Click() { Open(1); }
void TForm3::Label3Click() { Open(2); }
void TForm3::Label4Click() { Open(3); }

void TForm3::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CenterOnDesktop(this);
}
