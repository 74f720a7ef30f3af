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
    ini.WriteInteger(Section, QStringLiteral("Top"), s.Top);
    ini.WriteInteger(Section, QStringLiteral("Left"), s.Left);
    ini.WriteString(Section, QStringLiteral("Caption"), s.Caption);
    ini.WriteBool(Section, QStringLiteral("InitMax"), s.InitMax);
}
