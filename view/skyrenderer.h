#pragma once
// The "From Here" camera: the sky over the watcher's place at the clock's
// moment, drawn in the picture's pixels from what ComposeSky puts there, with
// the ground, the horizon's marks, a faint altitude grid and the pass's track.
#include "core/skyview.h"

#include <string>

class LiveOrbit;
struct LiveSceneInput;
struct LiveState;

// The two text lines the frame gives under its clock: where the station stands
// ("Az 231  El 34  612 km  mag -2.1", or why it is not to be seen) and when it
// rises or sets.
struct SkyTexts {
    std::string where;
    std::string when;
};

// Draws the sky into the current viewport (`width` x `height` device pixels).
// Following, the look is chosen here (FollowLook) and written back into `look`;
// otherwise `look` is drawn as it is.
SkyTexts DrawSkyScene(const LiveSceneInput &live, LiveOrbit &orbit, const LiveState &state, SkyLook &look,
                      bool follow, int width, int height, double pixelRatio);

// Program-wide: whether the faint altitude grid is drawn (the default).
bool SkyGrid();
void SetSkyGrid(bool on);
