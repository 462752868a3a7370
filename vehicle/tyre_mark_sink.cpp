// The entries through which the cars hand their tyre marks and sprites to
// the scene.
#include "vehicle/tyre_mark_sink.h"

TyreMarkSink TyreMarks = {};

int32_t SinkAddSkidMark(const FixVector &left, const FixVector &right, float intensity, int32_t segment,
                        uint16_t node) {
    if (TyreMarks.addSkidMark == nullptr)
        return -1;
    return TyreMarks.addSkidMark(left, right, intensity, segment, node);
}

void SinkClearSegmentAlpha(int32_t segment) {
    if (TyreMarks.clearSegmentAlpha != nullptr)
        TyreMarks.clearSegmentAlpha(segment);
}

void SinkAddSprite(const FixVector &position, const FixVector &velocity, int32_t startSize, int32_t endSize,
                   const uint8_t colour[4], int32_t lifetime) {
    if (TyreMarks.addSprite != nullptr)
        TyreMarks.addSprite(position, velocity, startSize, endSize, colour, lifetime);
}
