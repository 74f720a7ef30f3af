#pragma once

// The main window's settings: section "Form" of the settings file with the keys "Top",
// "Left", "Caption" and "InitMax".

#include <QString>

class TIniFile;

struct TFormSettings {
    int Top = 100;
    int Left = 100;
    QString Caption = QStringLiteral("Lumivo");
    bool InitMax = false;
};

// Reads the four keys in the order Top, Left, Caption, InitMax; anything missing or
// unusable keeps its default. Never fails.
TFormSettings ReadFormSettings(const TIniFile& ini);

// Writes the four keys in the same order; throws EIniFileException at the first key that
// cannot be written, leaving the keys after it unwritten.
void WriteFormSettings(TIniFile& ini, const TFormSettings& settings);
