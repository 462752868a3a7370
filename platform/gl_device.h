#pragma once

#include "platform/graphics_device.h"

#include <cstdint>

// The OpenGL device: an OpenGL 3.3 compatibility context (with clip
// control) on the main window of platform/window.h, one adapter per
// display. It draws the way the render layer expects of its device:
// depth 0..1 in clip space, rows from the top in every target and texture
// (the back buffer is an offscreen target that the present shows flipped
// into the window), pre-transformed vertices in pixels with centres on
// integers, the fixed-function texture stages, fog, alpha test and blending
// as shader programs made once per combination. Main thread only.
GraphicsDevice *PlatformGlDevice();

// Test hook: what the cooperative-level test answers (DeviceOk: the
// device's own answer, always OK).
void PlatformGlForceCooperativeLevel(uint32_t result);
