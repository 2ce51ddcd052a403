// quor-mkicon OUT.png SIZE: writes the program's main icon as a SIZE x SIZE PNG
// for the desktop's icon theme, so the menu shows the same mark as the window.
#include "resources/gui/icons.h"

#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPixmap>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
    // Never shows a window and runs during the build, where there may be no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // pixmaps need the GUI application
    if (argc != 3) {
        std::fprintf(stderr, "usage: quor-mkicon OUT.png SIZE\n");
        return 2;
    }
    char *end = nullptr;
    const long size = std::strtol(argv[2], &end, 10);
    if (end == argv[2] || *end != '\0' || size < 1 || size > 1024) {
        std::fprintf(stderr, "quor-mkicon: size '%s' is not a number of pixels from 1 to 1024\n", argv[2]);
        return 2;
    }
    const int pixels = int(size);

    // Drawn at the size the theme's folder names, never scaled.
    QImage image = MainIconPixmap(pixels).toImage();
    if (image.isNull()) {
        std::fprintf(stderr, "quor-mkicon: the main icon has no image\n");
        return 1;
    }
    image = image.convertToFormat(QImage::Format_ARGB32);

    QImageWriter writer(QString::fromLocal8Bit(argv[1]), "png");
    if (!writer.write(image)) {
        std::fprintf(stderr, "quor-mkicon: cannot write %s: %s\n", argv[1], qPrintable(writer.errorString()));
        return 1;
    }
    return 0;
}
