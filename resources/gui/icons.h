#pragma once
// The viewer's icons, toolbar images and cursor, drawn in code so that no
// binary resource has to be kept in step with the sources. Icons hold each size
// also at twice the pixels, for screens of device-pixel ratio 2.
#include <QCursor>
#include <QIcon>
#include <QPixmap>

QIcon MainIcon(); // 128: main frame and About box, 32 x 32 and 16 x 16
// The main icon drawn at any size, for the desktop's icon theme.
QPixmap MainIconPixmap(int size, int dpr = 1);
QIcon DocumentIcon(); // 129: document windows
QIcon ClassIcon();    // 131: the main window, 32 x 32
// 16 x 15 toolbar images, drawn at a device-pixel ratio of 1 or 2, and the
// buttons' icons holding both.
QPixmap OpenButtonImage(int dpr = 1);
QPixmap AboutButtonImage(int dpr = 1);
QIcon OpenButtonIcon();
QIcon AboutButtonIcon();
QCursor HandCursor(); // 130: 32 x 32, two colours, hot spot (12, 10)
QIcon LauncherIcon(); // 107: 16, 32 and 48 pixels
