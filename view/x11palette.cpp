#include "x11palette.h"

#include <QGuiApplication>
#include <QWidget>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

Display *X11Display() {
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

} // namespace

int IndexedVisualDepth(QWidget *window) {
    Display *display = X11Display();
    if (!display || !window || !window->winId())
        return 0;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, static_cast<Window>(window->winId()), &attributes) ||
        !attributes.visual)
        return 0;
    const int visualClass = attributes.visual->c_class;
    return visualClass == PseudoColor || visualClass == GrayScale ? attributes.depth : 0;
}

bool SelectPalette(QWidget *window, const std::vector<PaletteEntry> &entries, PaletteSelection &previous,
                   unsigned long &created) {
    Display *display = X11Display();
    if (!display || !window || entries.empty())
        return false;
    const Window id = static_cast<Window>(window->winId());
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, id, &attributes))
        return false;
    const Colormap colormap = XCreateColormap(display, id, attributes.visual, AllocAll);
    std::vector<XColor> colours(std::min<size_t>(entries.size(), attributes.visual->map_entries));
    for (size_t i = 0; i < colours.size(); ++i) {
        colours[i].pixel = i;
        colours[i].red = static_cast<unsigned short>(entries[i].red * 257);
        colours[i].green = static_cast<unsigned short>(entries[i].green * 257);
        colours[i].blue = static_cast<unsigned short>(entries[i].blue * 257);
        colours[i].flags = DoRed | DoGreen | DoBlue;
    }
    XStoreColors(display, colormap, colours.data(), static_cast<int>(colours.size()));
    XSetWindowColormap(display, id, colormap);
    XInstallColormap(display, colormap); // the foreground palette
    previous = {id, attributes.colormap};
    created = colormap;
    return true;
}

void RestorePalette(const PaletteSelection &previous) {
    if (Display *display = X11Display(); display && previous.window) {
        XSetWindowColormap(display, previous.window, previous.colormap);
        XInstallColormap(display, previous.colormap);
    }
}

void FreePalette(unsigned long colormap) {
    if (Display *display = X11Display(); display && colormap)
        XFreeColormap(display, colormap);
}
