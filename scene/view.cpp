#include "scene/view.h"

ViewRecord MainView{};
ViewRecord *CurrentView = &MainView;

namespace {

constexpr uint16_t DefaultViewHeading = 59392;
constexpr uint16_t DefaultViewPitch = 3072;
constexpr int32_t FullSunLight = 255;

}  // namespace

void InitViewRecord(ViewRecord *record, const FixVector &eye, const FixVector &back, int32_t scale,
                    const FixVector &sunDirection)
{
    if (!record) {
        return;
    }
    *record = ViewRecord{};
    record->eye = eye;
    record->back = back;
    record->scaleX = scale;
    NormaliseFixVectorOrUp(sunDirection, record->sunDir);
    SetColourBytes(&record->sunColour, 255, 255, 255);
    for (int32_t &level : record->sunLight) {
        level = FullSunLight;
    }
    record->shadowSin = 0.0f;
    record->shadowCos = 0.0f;
    record->shadowLength = 1.0f;
    record->heading = DefaultViewHeading;
    record->pitch = DefaultViewPitch;
    CurrentView = record;
}
