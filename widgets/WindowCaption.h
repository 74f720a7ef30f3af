#pragma once

// A window caption shown exactly as it stands. Qt treats "[*]" in a title as the
// placeholder of a modified document (and drops it), and gives an empty title the
// application's name; a caption from the settings file is neither.

#include <QString>

class QWidget;

void SetExactCaption(QWidget* window, const QString& caption);
// The caption as it was set (not Qt's escaped title).
QString ExactCaption(const QWidget* window);
