#include "ui/font_faces.h"


void DefaultFontWeights()
{
    for (FontFaceSetting &face : FontFaceSettings) {
        face.weight = DefaultFontWeight;
    }
}
