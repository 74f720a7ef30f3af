#include "app/Form2.h"

#include "app/Icons.h"
#include "platform/WindowGeometry.h"

#include <QLabel>
#include <QPlainTextEdit>

TOnFirstUse<TForm2> Form2;

const QStringList TForm2::HelpLines = {
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

TForm2::TForm2(QWidget* parent) : TRollingDialog(parent)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Справка"));
    SetFixedDialogBorder(this, {ClientWidth, ClientHeight});

    Image1 = new QLabel(this);
    Image1->setPixmap(ProgramIcon().pixmap(32, 32));
    Image1->setGeometry(4, 4, 32, 32);

    Label1 = new QLabel(QStringLiteral("Lumivo 2.0"), this);
    QFont title(QStringLiteral("Arial"));
    title.setPixelSize(29);
    title.setBold(true);
    title.setItalic(true);
    Label1->setFont(title);
    QPalette blue = Label1->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    Label1->setPalette(blue);
    Label1->move(48, 4);
    Label1->adjustSize();

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(0, ClientHeight - 89, ClientWidth, 89);
    QFont text(QStringLiteral("Arial"));
    text.setPixelSize(19);
    Memo1->setFont(text);
    QPalette info = Memo1->palette();
    info.setColor(QPalette::Base, info.color(QPalette::ToolTipBase));
    info.setColor(QPalette::Text, QColor(0, 0, 128)); // navy
    Memo1->setPalette(info);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setPlainText(HelpLines.join(QLatin1Char('\n')));
}
