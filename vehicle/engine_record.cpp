#include "vehicle/engine_record.h"

#include <cmath>
#include <cstring>

#include "core/data_stream.h"
#include "vehicle/car_engine.h"
#include "vehicle/car_object.h"

namespace {

void WriteFloat(DataStream &stream, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    stream.WriteU32(bits);
}

// The newest record without a sound section in the car data.
constexpr int LastCarDataSoundVersion = 7;

}  // namespace

int ReadEngineFigures(EngineFigures &engine, DataStream &stream) {
    const uint32_t flags = stream.ReadU32();
    engine.flags = flags;
    int version = 0;
    if (flags & EngineFlagVersionMarker) {
        version = stream.ReadU8();
        if (version > EngineRecordVersion || version < 0)
            return -1;
        stream.ReadU8();
        stream.ReadU8();
        stream.ReadU8();
    } else {
        engine.flags |= EngineFlagVersionMarker;
    }

    engine.displacement = stream.ReadFloat();
    engine.cylinders = stream.ReadU8();
    engine.layout = stream.ReadU8();
    stream.ReadU16();
    engine.boostReference = stream.ReadFloat();
    if (version > 12)
        engine.figures[0] = stream.ReadFloat();
    engine.figures[1] = stream.ReadFloat();
    if (version == EngineRecordVersion) {
        engine.figures[2] = stream.ReadFloat();
        engine.figures[3] = stream.ReadFloat();
        engine.figures[4] = stream.ReadFloat();
    } else if (flags & EngineFlagFiguresMarker) {
        engine.figures[2] = stream.ReadFloat();
        engine.figures[4] = stream.ReadFloat();
    } else {
        engine.flags |= EngineFlagFiguresMarker;
    }
    engine.figures[5] = stream.ReadFloat();
    if (version < 2)
        stream.ReadU32();
    return version;
}

void WriteEngineFigures(const EngineFigures &engine, DataStream &stream) {
    stream.WriteU32((engine.flags & 15u) | EngineFlagFiguresMarker | EngineFlagVersionMarker);
    stream.WriteU8(EngineRecordVersion);
    stream.WriteU8(0);
    stream.WriteU8(0);
    stream.WriteU8(0);
    WriteFloat(stream, engine.displacement);
    stream.WriteU8(engine.cylinders);
    stream.WriteU8(engine.layout);
    stream.WriteU16(0);
    WriteFloat(stream, engine.boostReference);
    for (float figure : engine.figures)
        WriteFloat(stream, figure);
}

EngineFigures FiguresOfEngine(const CarEngine &engine) {
    EngineFigures figures;
    figures.flags = engine.flags;
    figures.displacement = engine.displacement;
    figures.cylinders = engine.cylinders;
    figures.layout = engine.layout;
    figures.boostReference = engine.maxBoost;
    figures.figures[0] = engine.turboLagFactor;
    figures.figures[1] = engine.maxSpeed;
    figures.figures[2] = engine.peakSpeedFactor;
    figures.figures[3] = engine.widthFactor;
    figures.figures[4] = engine.torqueFactor;
    figures.figures[5] = engine.torqueLimit;
    return figures;
}

void ApplyEngineFigures(const EngineFigures &figures, CarEngine &engine) {
    engine.flags = figures.flags;
    engine.displacement = figures.displacement;
    engine.cylinders = figures.cylinders;
    engine.layout = figures.layout;
    engine.maxBoost = figures.boostReference;
    engine.turboLagFactor = figures.figures[0];
    engine.maxSpeed = figures.figures[1];
    engine.peakSpeedFactor = figures.figures[2];
    engine.widthFactor = figures.figures[3];
    engine.torqueFactor = figures.figures[4];
    engine.torqueLimit = figures.figures[5];
}

const char *ReadCarEngineRecord(CarEngine &engine, DataStream &stream) {
    EngineFigures figures = FiguresOfEngine(engine);
    const int version = ReadEngineFigures(figures, stream);
    if (version < 0 || stream.overrun)
        return EngineReadError;
    if (version <= LastCarDataSoundVersion) {
        // The sound section follows; the sound layer reads it when it is there.
        if (CarServices.readEngineSound == nullptr)
            return EngineSoundInCarDataError;
        if (!CarServices.readEngineSound(engine, stream, version) || stream.overrun)
            return EngineReadError;
    }
    // The rev limiter divides by maxSpeed, and every figure feeds the
    // engine's set-up: a NaN here would stay in the car for good.
    bool finite = std::isfinite(figures.displacement) && std::isfinite(figures.boostReference);
    for (float figure : figures.figures)
        finite = finite && std::isfinite(figure);
    if (!finite || !(figures.figures[1] > 0.0f))
        return EngineFiguresError;
    ApplyEngineFigures(figures, engine);
    return nullptr;
}

void WriteCarEngineRecord(const CarEngine &engine, DataStream &stream) {
    WriteEngineFigures(FiguresOfEngine(engine), stream);
}
