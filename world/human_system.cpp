#include "world/human_system.h"

#include <cstring>

namespace {

const FigureHumanSystem *RegisteredHumans = nullptr;

// Records hold at most this many joints; a larger count is damaged data.
constexpr int MaxFigureJoints = 256;

} // namespace

void SetFigureHumanSystem(const FigureHumanSystem *humans)
{
    RegisteredHumans = humans;
}

const FigureHumanSystem *GetFigureHumanSystem()
{
    return RegisteredHumans;
}

int FindWorldFigure(const FigureHumanSystem &humans)
{
    const int count = humans.RecordCount();
    for (int i = 0; i < count; ++i) {
        if (humans.RecordFlags(i) & FigureRecordWorldFigure) {
            return i;
        }
    }
    return -1;
}

void DriverFigure::SetRecord(const FigureHumanSystem &humans, int driverRecord)
{
    delete[] keys;
    keys = nullptr;
    record = driverRecord;
    int joints = humans.JointCount(driverRecord);
    if (joints < 0 || joints > MaxFigureJoints) {
        joints = 0;
    }
    jointCount = static_cast<uint32_t>(joints);
    if (jointCount > 0) {
        keys = new FixTransform[jointCount];
        for (uint32_t i = 0; i < jointCount; ++i) {
            keys[i] = IdentityTransform;
        }
    }
}

void DriverFigure::CopyKeys(const FigureHumanSystem &humans, const FixTransform *source)
{
    if (!keys) {
        return;
    }
    if (source) {
        memcpy(keys, source, jointCount * sizeof(FixTransform));
    } else {
        humans.DefaultPose(record, keys);
    }
}

void DriverFigure::Free()
{
    delete[] keys;
    keys = nullptr;
    jointCount = 0;
    record = -1;
    transform = IdentityTransform;
}
