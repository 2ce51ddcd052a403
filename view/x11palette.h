#pragma once
// Logical palettes on X11: only windows on an indexed (PseudoColor or GrayScale)
// visual need one. On true-colour visuals nothing here does anything.
#include "core/palette.h"

#include <vector>

class QWidget;

struct PaletteSelection {
    unsigned long window = 0;   // X window the colormap was installed on
    unsigned long colormap = 0; // the colormap it had before
};

// The depth of the window's visual when that visual is indexed, else 0.
int IndexedVisualDepth(QWidget *window);

// Installs a colormap holding the entries on the window. Fills what it replaced and
// the new colormap (to be freed with FreePalette); false when nothing was installed.
bool SelectPalette(QWidget *window, const std::vector<PaletteEntry> &entries, PaletteSelection &previous,
                   unsigned long &created);
void RestorePalette(const PaletteSelection &previous);
void FreePalette(unsigned long colormap);
