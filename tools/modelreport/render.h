#pragma once
// quor-inspect --render: the viewer's frame renderer, offscreen, into a PNG or JPEG
// picture, written the way the viewer's Save Picture writes one.
#include <string>

struct RenderOptions {
    std::string file;
    std::string output;
    int mode = 1;
    int steps = 1;
    int width = 1280;
    int height = 720;
    bool antialias = false;
};

// Exit status: 0 written, 1 the model or the image could not be handled, 2 no X display.
int RenderToPng(const RenderOptions &options);
