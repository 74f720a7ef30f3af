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

// Writes the four keys in the same order, in one replacement of the file (one write and
// one flush to the disk per exit, and never half of them); throws EIniFileException when
// the file cannot be written, leaving it as it was.
void WriteFormSettings(TIniFile& ini, const TFormSettings& settings);
