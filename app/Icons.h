#pragma once

#include <QIcon>
#include <QList>

// The program's own pictures, drawn in code so that they look the same on every desktop.

// The program's icon (tray, About and help dialogs, window icon).
QIcon ProgramIcon();

// The toolbar's picture list: ten 18 x 18 pictures, indexed as the toolbar uses them:
// 0 add, 1 delete, 2 open playlist, 3 save playlist, 4 start slide show, 5 stop slide show,
// 6 interval, 7 about, 8 help, 9 exit.
QList<QIcon> ToolbarImages();

// Pictures of the control panel's buttons.
QIcon CdOpenImage();
QIcon CdCloseImage();
QIcon WizardImage();
