#include "vehicle/car_data_recording.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/translation_table.h"
#include "core/data_stream.h"
#include "core/fixed_math.h"
#include "core/float_math.h"
#include "core/shell_globals.h"
#include "core/text_utils.h"
#include "core/version.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/race_hooks.h"
#include "vehicle/world_query.h"

CarRecordingServices CarRecording = {};

namespace {

constexpr int RafVersion = 246;
constexpr int RafWheelSlots = 4;
constexpr int RafForwardGears = 7;

// Counts 0..9 in the hot-lap check start mode: one tick in ten is recorded.
int FrameDivider = 0;

void WriteF32(DataStream *stream, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    stream->WriteU32(bits);
}

int32_t RoundToInt(float v) {
    if (!std::isfinite(v))
        return 0;
    return static_cast<int32_t>(std::lround(static_cast<double>(v)));
}

// g x 20, rounded, then held to -120..120.
int8_t GForceByte(float g) {
    int32_t v = RoundToInt(g * 20.0f);
    if (v < -120)
        v = -120;
    if (v > 120)
        v = 120;
    return static_cast<int8_t>(v);
}

// The air temperature in whole degrees Celsius, held to what one byte can
// store (0..255; a value that is not a number gives 0).
uint8_t AirTemperatureByte(const CarWheel &wheel) {
    const float c = wheel.airHeat / (wheel.airMass * 1005.0f) - 273.15f;
    if (!std::isfinite(c) || c <= 0.0f)
        return 0;
    if (c >= 255.0f)
        return 255;
    return static_cast<uint8_t>(RoundToInt(c));
}

uint8_t SlipByte(const CarWheel &wheel) {
    if (!(wheel.peakSlip > 0.0f))
        return 0;
    const float share = wheel.slipShown * 255.0f / wheel.peakSlip;
    if (!std::isfinite(share) || share <= 0.0f)
        return 0;
    if (share >= 255.0f)
        return 255;
    return static_cast<uint8_t>(RoundToInt(share));
}

// The inverse of a 3x3 matrix (rows first) by cofactors; zeros when it has
// none.
void InvertByCofactors(const float m[9], float out[9]) {
    const float c00 = m[4] * m[8] - m[5] * m[7];
    const float c01 = m[5] * m[6] - m[3] * m[8];
    const float c02 = m[3] * m[7] - m[4] * m[6];
    const float det = m[0] * c00 + m[1] * c01 + m[2] * c02;
    if (det == 0.0f || !std::isfinite(det)) {
        for (int i = 0; i < 9; i++)
            out[i] = 0.0f;
        return;
    }
    const float r = 1.0f / det;
    out[0] = c00 * r;
    out[1] = (m[2] * m[7] - m[1] * m[8]) * r;
    out[2] = (m[1] * m[5] - m[2] * m[4]) * r;
    out[3] = c01 * r;
    out[4] = (m[0] * m[8] - m[2] * m[6]) * r;
    out[5] = (m[2] * m[3] - m[0] * m[5]) * r;
    out[6] = c02 * r;
    out[7] = (m[1] * m[6] - m[0] * m[7]) * r;
    out[8] = (m[0] * m[4] - m[1] * m[3]) * r;
}

const char *Text(const char *(*entry)()) {
    const char *t = entry != nullptr ? entry() : nullptr;
    return t != nullptr ? t : "";
}

const char *SlotText(const char *(*entry)(const PlayerSlot *), const PlayerSlot *slot) {
    const char *t = entry != nullptr ? entry(slot) : nullptr;
    return t != nullptr ? t : "";
}

void PrintInfo(const char *text) {
    if (CarRecording.printInfo != nullptr)
        CarRecording.printInfo(text);
}

// Seeks the open write stream; a failed seek counts as a write error.
void SeekTo(DataStream *stream, long offset) {
    if (stream->file == nullptr || std::fseek(stream->file, offset, SEEK_SET) != 0)
        stream->writeError = true;
}

// The configuration name field: a reversed configuration keeps 11
// characters and gains "_REV".
void ConfigField(char out[16]) {
    std::memset(out, 0, 16);
    const char *name = Text(CarRecording.configName);
    const int reversed = CarRecording.configReversed != nullptr ? CarRecording.configReversed() : 0;
    const size_t keep = std::strlen(name) < (reversed ? 11u : 15u) ? std::strlen(name) : (reversed ? 11u : 15u);
    std::memcpy(out, name, keep);
    if (reversed)
        std::memcpy(out + keep, "_REV", 4);
}

void WriteHeader(const CarObject *car, const PlayerSlot *slot, DataStream *s) {
    // 8..11
    s->WriteU8(2);
    s->WriteU8(StartMode == StartModeHotLapCheck ? 100 : 10);
    s->WriteU8(0);
    s->WriteU8(0);
    // 12..23
    s->WriteU16(RafHeaderSize);
    s->WriteU16(RafFrameSize);
    s->WriteU16(RafWheelBlockSize);
    s->WriteU16(RafCarBlockSize);
    s->WriteU32(0);
    // 24..31
    char code[4] = {};
    if (CarRecording.trackCode != nullptr)
        CarRecording.trackCode(code);
    s->WriteBytes(code, 4);
    WriteF32(s, CarRecording.lapLength != nullptr ? CarRecording.lapLength() : 0.0f);
    // 32..167
    WriteTextNoColours(s, SlotText(CarRecording.playerName, slot), 32);
    s->WriteString(SlotText(CarRecording.modelName, slot), 32);
    s->WriteString(Text(CarRecording.worldName), 32);
    char config[16];
    ConfigField(config);
    s->WriteBytes(config, 16);
    s->WriteString(Text(CarRecording.lightSchemeName), 16);
    char version[8] = {};
    std::strncpy(version, ProgramVersion, sizeof(version));
    s->WriteBytes(version, 8);
    // 168..187
    s->WriteU8(CarRecording.playerOptions != nullptr ? CarRecording.playerOptions(slot) : 0);
    s->WriteU8(car->wheelCount);
    s->WriteU8(0);
    const WorldQuery *world = CurrentWorldQuery();
    s->WriteU8(world != nullptr ? world->GetCheckpointCount() : 0);
    WriteZeroWords(s, 4);
    // 188..211
    float sprung = car->mass;
    for (int i = 0; i < car->wheelCount; i++)
        sprung -= car->wheels[i].unsprungMass;
    WriteF32(s, car->mass);
    WriteF32(s, sprung);
    WriteF32(s, car->setup != nullptr ? car->setup->axles[0].antiRoll : 0.0f);
    WriteF32(s, car->setup != nullptr ? car->setup->axles[1].antiRoll : 0.0f);
    WriteF32(s, car->finalDrive);
    const int forward = car->gearCount - 2;
    s->WriteU8(forward > 0 ? forward : 0);
    s->WriteU8(0);
    s->WriteU8(0);
    s->WriteU8(0);
    // 212..511
    for (int g = 0; g < RafForwardGears; g++) {
        const int position = g + 2;
        WriteF32(s, position < car->gearCount && position < CarGearPositions ? car->gearRatios[position] : 0.0f);
    }
    WriteZeroWords(s, 272 / 4);
    // 512..1023
    for (int w = 0; w < RafWheelSlots; w++)
        WriteRafWheelInfo(car, w, s);
}

int StartRecorder(CarObject *car) {
    return OpenCarDataRecording(car);
}

void FinishRecorder(CarObject *car) {
    CloseCarDataRecording(car);
}

} // namespace

void RegisterCarDataRecorder() {
    RaceServices.startCarDataRecording = StartRecorder;
    RaceServices.finishCarDataRecording = FinishRecorder;
}

void WriteZeroWords(DataStream *stream, int n) {
    for (int i = 0; i < n; i++)
        stream->WriteU32(0);
}

void WriteRafWheelInfo(const CarObject *car, int wheel, DataStream *s) {
    if (wheel < 0 || wheel >= car->wheelCount) {
        WriteZeroWords(s, RafHeaderWheelSize / 4);
        return;
    }
    const CarWheel &w = car->wheels[wheel];
    const RimData &axle = car->axles[w.axleIndex < 2 ? w.axleIndex : 0];
    const float position[3] = {w.lateralPosition, w.position[1], w.baseHeight};
    WriteRelativePoint(car, s, position);
    WriteF32(s, axle.outerRadius);
    WriteF32(s, axle.tyreWidth);
    WriteF32(s, w.maxTravel);
    s->WriteU32(0);
    s->WriteU8(0);
    s->WriteU8(static_cast<uint8_t>(axle.tyreType));
    s->WriteU8(0);
    s->WriteU8(0);
    WriteF32(s, w.springRate);
    WriteF32(s, w.bumpDamping);
    WriteF32(s, w.reboundDamping);
    WriteF32(s, w.brakeShare);
    WriteZeroWords(s, 80 / 4);
}

void WriteRafWheelFrame(const CarObject *car, int wheel, const float inverse[9], DataStream *s) {
    if (wheel < 0 || wheel >= car->wheelCount) {
        WriteZeroWords(s, RafWheelBlockSize / 4);
        return;
    }
    const CarWheel &w = car->wheels[wheel];
    WriteF32(s, w.compression);
    WriteF32(s, w.steerAngle);
    const float *f = w.contactForce;
    for (int r = 0; r < 3; r++)
        WriteF32(s, inverse[r * 3] * f[0] + inverse[r * 3 + 1] * f[1] + inverse[r * 3 + 2] * f[2]);
    WriteF32(s, w.angularVelocity);
    float sine = w.camberSine;
    if (sine > 1.0f)
        sine = 1.0f;
    if (sine < -1.0f)
        sine = -1.0f;
    WriteF32(s, FloatAsin(sine));
    s->WriteU8(AirTemperatureByte(w));
    s->WriteU8(SlipByte(w));
    s->WriteU8(0);
    s->WriteU8(0);
}

void WriteRelativePoint(const CarObject *car, DataStream *stream, const float point[3]) {
    // Car coordinates are measured from the car's reference point, which is
    // the body's origin.
    (void)car;
    const float reference[3] = {0.0f, 0.0f, 0.0f};
    for (int i = 0; i < 3; i++)
        WriteF32(stream, point[i] - reference[i]);
}

int OpenCarDataRecording(CarObject *car) {
    if (car == nullptr)
        return 0;
    if (car->rafStream != nullptr) {
        car->rafStream->Close();
        delete car->rafStream;
        car->rafStream = nullptr;
    }
    DataStream *stream = new (std::nothrow) DataStream;
    char path[64];
    std::snprintf(path, sizeof(path), "data\\raf\\%s.raf", car->rafName);
    if (stream == nullptr || stream->OpenWrite(nullptr, path, "KZVRAF", RafVersion) != nullptr) {
        delete stream;
        VehiclePrintWarning(Tx(Text_3a_outcnopn));
        return 0;
    }
    const PlayerSlot *slot = FindCarSlot(car);
    if (slot == nullptr) {
        stream->Close();
        delete stream;
        VehiclePrintWarning(Tx(Text_3d_outnoply));
        return 0;
    }
    WriteHeader(car, slot, stream);
    car->rafStream = stream;
    car->rafFrameCount = 0;
    FrameDivider = 0;
    PrintInfo(Tx(Text_3d_outstart));
    return 1;
}

void CloseCarDataRecording(CarObject *car) {
    if (car == nullptr)
        return;
    DataStream *s = car->rafStream;
    car->rafStream = nullptr;
    if (s == nullptr)
        return;
    SeekTo(s, 20);
    s->WriteU32(car->rafFrameCount);
    // The lines of the lap: at the lap line nextLine is the split count + 1.
    SeekTo(s, 170);
    s->WriteU8(car->nextLine);
    SeekTo(s, 172);
    for (int32_t t : car->lineTimes)
        s->WriteU32(static_cast<uint32_t>(t) * 10u);
    const int failed = s->Close() != 0 || s->writeError;
    delete s;
    if (failed)
        VehiclePrintWarning(Tx(Text_3k_outnowrt));
    else
        PrintInfo(Tx(Text_3d_outfinis));
}

void RecordCarDataFrame(CarObject *car) {
    if (car == nullptr || car->rafState != 2 || car->rafStream == nullptr)
        return;
    if (StartMode == StartModeHotLapCheck) {
        const int before = FrameDivider;
        FrameDivider = (FrameDivider + 1) % 10;
        if (before != 0)
            return;
    }
    DataStream *s = car->rafStream;
    // Car block.
    WriteF32(s, car->engine.throttle);
    WriteF32(s, car->brake);
    WriteF32(s, car->steerTarget);
    WriteF32(s, car->engine.clutchPedal);
    WriteF32(s, car->handbrake);
    s->WriteU8(car->gear);
    for (float g : car->gForce)
        s->WriteU8(static_cast<uint8_t>(GForceByte(g)));
    WriteF32(s, car->speed);
    WriteF32(s, car->lapDistance);
    const float reference[3] = {0.0f, 0.0f, 0.0f};
    FixVector at;
    FloatToFixPosition(car->orientation, reference, car->position, at);
    s->WriteU32(static_cast<uint32_t>(at.x));
    s->WriteU32(static_cast<uint32_t>(at.y));
    s->WriteU32(static_cast<uint32_t>(at.z));
    WriteF32(s, car->engine.speed);
    WriteF32(s, car->progress[1]);
    const int columnOrder[6] = {0, 3, 6, 1, 4, 7};
    for (int e : columnOrder)
        s->WriteU16(RoundToInt(car->orientation[e] * 32767.0f));
    // Wheel blocks.
    float inverse[9];
    InvertByCofactors(car->orientation, inverse);
    for (int w = 0; w < RafWheelSlots; w++)
        WriteRafWheelFrame(car, w, inverse, s);
    car->rafFrameCount++;
}
