#include "core/font_face_settings.h"

FontFaceSetting FontFaceSettings[FontFaceSlotCount] = {};
