#pragma once
// The viewer's icons, toolbar images and cursor, drawn in code so that no
// binary resource has to be kept in step with the sources.
#include <QCursor>
#include <QIcon>
#include <QPixmap>

QIcon MainIcon();           // 128: main frame and About box, 32 x 32 and 16 x 16
QIcon DocumentIcon();       // 129: document windows
QIcon ClassIcon();          // 131: the main window, 32 x 32
QPixmap OpenButtonImage();  // 16 x 15 toolbar image
QPixmap AboutButtonImage(); // 16 x 15 toolbar image
QCursor HandCursor();       // 130: 32 x 32, two colours, hot spot (12, 10)
QIcon LauncherIcon();       // 107: 16, 32 and 48 pixels
