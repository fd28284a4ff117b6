// The viewer's model set and start-up view, stated once for the viewer, nprsnap, the tests and the bench.
#pragma once

#include <string_view>

#include "hatch_renderer.h"

constexpr int kModelSlots = 5;

// Model files by slot (key 1 is slot 0), relative to the working directory. Slot 0 is loaded at start-up,
// the others on first use.
extern const char* const kModelPaths[kModelSlots];

// Slots 2 and 4 hold meshes wound clockwise as seen from outside; the renderer swaps front and back for
// them. False for any number that is not a slot.
bool isReversedWinding(int slot);

// The slot whose file has the same file name as path (its last component, compared exactly), or -1.
int slotOfFileName(std::string_view path);

// The window's width and height at start-up, in pixels.
constexpr int kStartUpWindowSide = 768;

// What the first frame shows: the orbit camera at distance 1 from its target (0, 0.1, 0), pitch and yaw 0;
// the light 90 degrees further in yaw and 45 higher; a 5-pixel outline; flat tones; slot 0's winding.
constexpr DrawState kStartUpState{
    {Orbit, {0.0f, 0.1f, 0.0f}, 0.0f, 0.0f, 1.0f}, 90.0f, 45.0f, false, 5, false};
