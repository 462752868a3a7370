// The car's drawn wheels: each axle's hub node (the rim object repeated
// about the axle), its tyre node (the rim cross-section turned about the
// axle, made by the scene) and each wheel's simple eight-sided mesh.

#include <cmath>

#include "render/model_build.h"
#include "render/model_node.h"
#include "render/object_file.h"
#include "render/render_object.h"
#include "vehicle/car_model.h"
#include "vehicle/car_object.h"
#include "vehicle/rim_data.h"

namespace {

constexpr uint32_t FlagRearLikeFront = 0x10;   // dataFlags: the rear wheels look like the front ones
constexpr float SeatHalfWidthAdd = 0.005f;     // the seat's half width beyond half the rim width
constexpr int32_t FixOne = 65536;

// A ratio of two sizes, or 1 when it gives no usable scale (a size that is
// not positive or a value that is not finite).
float SizeRatio(float numerator, float denominator) {
    const float ratio = numerator / denominator;
    if (!(numerator > 0.0f) || !(denominator > 0.0f) || !std::isfinite(ratio))
        return 1.0f;
    return ratio;
}

int32_t ToFix(float value) {
    return static_cast<int32_t>(std::lround(static_cast<double>(value) * FixOne));
}

}  // namespace

void CarObject::BuildRenderParts() {
    if (renderPartsBuilt || !CarDrawingOn())
        return;
    renderPartsBuilt = 1;

    // 1.
    BuildRimModels();

    // 2. The rim object repeated about the axle.
    const int n = RimRepeatCount(rimBytes[0]);
    const int repeated = rimObject.pointCount > 0 && RepeatObjectAroundAxis(&rimObject, n);

    // 3. Per axle the hub node (rim object) and the tyre node (cross-section).
    // The rear hub is scaled to the rear rim's seat width and radius unless
    // the rear wheels copy the front ones.
    const RimData &front = axles[1];
    for (int a = 0; a < 2; a++) {
        RimData &axle = axles[a];
        axle.FreeMeshes();
        float across = 1.0f;
        float radial = 1.0f;
        if (a == 0 && !(dataFlags & FlagRearLikeFront)) {
            across = SizeRatio(axle.rimWidth / 2.0f + SeatHalfWidthAdd, front.rimWidth / 2.0f + SeatHalfWidthAdd);
            radial = SizeRatio(axle.rimRadius - static_cast<float>(axle.seatInset) * 0.001f,
                               front.rimRadius - static_cast<float>(front.seatInset) * 0.001f);
        }
        axle.hubNode = CreateModelNode();
        if (axle.hubNode != nullptr) {
            LoadObjectTextures(&rimObject, 0, 1, 0, AllObjectParts);
            BuildModelFromObject(&rimObject, axle.hubNode, 0, BuildNoChildren, 0, ToFix(across), ToFix(radial),
                                 AllObjectParts);
        }
        axle.rimNode = CreateModelNode();
        if (axle.rimNode != nullptr && CarServices.buildTyreMesh != nullptr)
            CarServices.buildTyreMesh(axle.rimNode, RimSegmentCount(n), &rimObject, axle, radial);
    }

    // 4.
    if (repeated)
        FreeRepeatedCopies(&rimObject, n);

    // 5. Each wheel's simple mesh.
    for (int w = 0; w < MaxCarWheels; w++) {
        DeleteRenderObject(&wheelMeshes[w]);
        if (w >= wheelCount || wheels == nullptr || CarServices.buildWheelOctagonMesh == nullptr)
            continue;
        const CarWheel &wheel = wheels[w];
        const float width = wheel.axleIndex < 2 ? axles[wheel.axleIndex].tyreWidth : 0.0f;
        wheelMeshes[w] = CarServices.buildWheelOctagonMesh(width, wheel.radius);
    }
}
