#pragma once
// Draws the collected model into a framebuffer object of its own and reads the
// picture back.
#include "meshsink.h"
#include "viewfit.h"

#include <cstdint>
#include <string>
#include <vector>

class OffscreenGl;

// Draws `mesh` as `fit` places it, lit from the upper left, on a transparent
// background, into a size x size picture: RGBA with straight (not premultiplied)
// alpha, top row first. Pictures up to 1024 across are drawn at twice the size, or
// at least 256 across, and scaled down, which smooths the edges and keeps thin
// parts in the smallest ones. False with `error` set when GL cannot.
bool RenderThumbnail(const OffscreenGl &gl, const MeshSink &mesh, const ViewFit &fit, int size,
                     std::vector<uint8_t> &rgba, std::string &error);
