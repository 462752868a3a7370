#pragma once

#include "core/font_face_settings.h"

// Sets the four weights to 600; done before cfg.txt is read.
void DefaultFontWeights();
