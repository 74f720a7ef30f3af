#include "app/FormSettings.h"

#include "system/IniFile.h"

namespace {
const QString Section = QStringLiteral("Form");
}

TFormSettings ReadFormSettings(const TIniFile& ini)
{
    TFormSettings s;
    s.Top = ini.ReadInteger(Section, QStringLiteral("Top"), s.Top);
    s.Left = ini.ReadInteger(Section, QStringLiteral("Left"), s.Left);
    s.Caption = ini.ReadString(Section, QStringLiteral("Caption"), s.Caption);
    s.InitMax = ini.ReadBool(Section, QStringLiteral("InitMax"), s.InitMax);
    return s;
}

void WriteFormSettings(TIniFile& ini, const TFormSettings& s)
{
    ini.WriteStrings(Section, {{QStringLiteral("Top"), QString::number(s.Top)},
                               {QStringLiteral("Left"), QString::number(s.Left)},
                               {QStringLiteral("Caption"), s.Caption},
                               {QStringLiteral("InitMax"), s.InitMax ? QStringLiteral("1") : QStringLiteral("0")}});
}
