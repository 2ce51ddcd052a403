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

// Exit status: 0 written, 1 the model, the context or the picture could not be handled.
// Needs no display: the context is made with EGL.
int RenderToPng(const RenderOptions &options);
