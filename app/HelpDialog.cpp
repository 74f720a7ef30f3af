#include "app/HelpDialog.h"

#include "app/Icons.h"
#include "core/AppTitle.h"
#include "widgets/FitCaptions.h"
#include "widgets/ReadableColours.h"
#include "widgets/WindowGeometry.h"

#include <QLabel>
#include <QPlainTextEdit>


const QStringList THelpDialog::HelpLines = {
    QStringLiteral("Утилита представляет собой "),
    QStringLiteral("многофункциональный мультимедиа-центр, "),
    QStringLiteral("который может просматривать картинки "),
    QStringLiteral("различных форматов (.bmp; .jpg; .dib; .ico; "),
    QStringLiteral(".emf; .wmf), проигрывать звуковые и "),
    QStringLiteral("видеофайлы (.mid; .wav; .avi; .mp3; mpeg), а "),
    QStringLiteral("также может работать с gif-анимацией. "),
    QStringLiteral("Утилита поддерживает плей-листы, может "),
    QStringLiteral("сохранять их и загружать. Плей-листы "),
    QStringLiteral("сохраняются в формате .txt - поэтому их "),
    QStringLiteral("можно даже, при необходимости, "),
    QStringLiteral("редактировать вручную с помощью "),
    QStringLiteral("программы «Блокнот». Помимо этого, "),
    QStringLiteral("программа может организовать показ "),
    QStringLiteral("слайдов. Особенностями программы можно "),
    QStringLiteral("считать интуитивно понятный интерфейс и "),
    QStringLiteral("очень мощная функциональность. "),
};

THelpDialog::THelpDialog(QWidget* parent) : TRollingDialog(parent)
{
    setObjectName(QStringLiteral("HelpDialog"));
    setWindowTitle(QStringLiteral("Справка"));
    SetFixedDialogBorder(this, {ClientWidth, ClientHeight});

    ProgramIcon = new QLabel(this);
    ProgramIcon->setPixmap(::ProgramIcon().pixmap(32, 32));
    ProgramIcon->setGeometry(4, 4, 32, 32);

    TitleLabel = new QLabel(ApplicationTitle(), this);
    TitleLabel->setObjectName(QStringLiteral("TitleLabel"));
    QFont title(QStringLiteral("Arial"));
    title.setPixelSize(29);
    title.setBold(true);
    title.setItalic(true);
    TitleLabel->setFont(title);
    SetTextColour(TitleLabel, Qt::blue);
    TitleLabel->move(48, 4);
    TitleLabel->adjustSize();

    HelpText = new QPlainTextEdit(this);
    HelpText->setObjectName(QStringLiteral("HelpText"));
    HelpText->setGeometry(0, ClientHeight - 89, ClientWidth, 89);
    QFont text(QStringLiteral("Arial"));
    text.setPixelSize(19);
    HelpText->setFont(text);
    QPalette info = HelpText->palette();
    info.setColor(QPalette::Base, info.color(QPalette::ToolTipBase));
    HelpText->setPalette(info);
    SetTextColour(HelpText, QColor(0, 0, 128)); // navy, on the colour of tooltips
    HelpText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    HelpText->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    HelpText->setPlainText(HelpLines.join(QLatin1Char('\n')));
    HelpText->setAccessibleName(QStringLiteral("Справка"));
    FitCaptions(this);
}
