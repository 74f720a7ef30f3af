#pragma once

#include "Version.h"

#include <QString>

// The program's title: the text of its task-bar entry and the caption of its message boxes.
// It is deliberately not set as Qt's application display name, which X11 would append to
// every window title.
inline QString ApplicationTitle() { return QStringLiteral("Lumivo " LUMIVO_VERSION); }
