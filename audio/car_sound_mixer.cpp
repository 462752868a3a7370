#include "audio/car_sound_mixer.h"

#include <cmath>
#include <cstring>

#include "audio/car_sound_buffer.h"
#include "audio/car_sound_synthesis.h"
#include "audio/interface_sound.h"
#include "audio/sound_output.h"
#include "core/settings.h"
#include "vehicle/car_object.h"
#include "world/path.h"
#include "world/world.h"

float CarSoundMixBuffers[3][CarSoundMixFrames * 2];
uint32_t CarSoundMixerEnabled = 0;
uint32_t SoundListenerValid = 0;
uint32_t CarSoundClipping = 0;
int32_t LoudVoiceCount = 0;
float CrowdGain = 1.0f;
SoundListener Listener = {{{65536, 0, 0, 0, 65536, 0, 0, 0, 65536}}, {0, 0, 0}, {0.0f, 0.0f, 0.0f}, nullptr, 0, 1};
CarMixList MixList;
EchoLine EchoLines[EchoLineCount];
float CockpitLowPass[2] = {0.0f, 0.0f};
float CockpitLowPassFactor = 0.0f;
CarSoundLink CarSoundLinks;

namespace {

constexpr float FullScale = 32767.0f;
constexpr float InverseFullScale = 3.051851e-05f;   // 1 / 32767

constexpr float EchoRowBase = 0.008f;
constexpr float OneBlock = 0.0022675737f;   // 1 / 441

float *Dry() { return CarSoundMixBuffers[0]; }
float *EchoReturn() { return CarSoundMixBuffers[2]; }

int LinkFlag(int (*flag)())
{
    return flag != nullptr ? flag() : 0;
}

// Band bytes near 255 give line gains near 3, and the crossed feedback then
// grows without end; a ring holds at most far beyond full scale, and never
// anything that is not a number.
float HoldEcho(float value)
{
    constexpr float Limit = 1.0e7f;
    if (value > Limit) {
        return Limit;
    }
    if (value < -Limit) {
        return -Limit;
    }
    return value == value ? value : 0.0f;
}

// Gain and step of one side of an echo line toward its target over a block.
void AimEchoGain(float target, float &gain, float &step)
{
    if (target < 0.0001f) {
        gain = 0.0f;
        step = 0.0f;
    } else if (std::fabs(target - gain) < 0.0001f) {
        gain = target;
        step = 0.0f;
    } else {
        step = (target - gain) * OneBlock;
    }
}

// The inside flag and listener mode a car is mixed with, and the cockpit
// low-pass coefficient it sets (only the focused car sets one).
void ChooseInside(const CarObject *car, int &inside, int &mode, float &k)
{
    mode = static_cast<int>(Listener.mode);
    inside = 0;
    if (car != Listener.focusedCar) {
        return;
    }
    const int attached = Listener.attached != 0 ? 1 : 0;
    if (Listener.mode == 0) {
        k = car->engine.soundParams.Word(31);
        inside = attached;
        return;
    }
    inside = attached;
    if (LinkFlag(CarSoundLinks.freeView) != 0) {
        return;
    }
    const int view = LinkFlag(CarSoundLinks.viewMode);
    if (view == 0) {
        mode = 3;
    } else if (view == 4 && attached == 0) {
        mode = 3;
        inside = 0;
    }
}

// The node of the current world's path the car's follower stands at; null
// without a world, a path, band data or a placed follower.
const PathNode *CurrentPathNode(const CarObject *car)
{
    if (CurrentWorld == nullptr || car->pathFollower == nullptr || CarServices.pathFollowerNode == nullptr) {
        return nullptr;
    }
    const Path *path = CurrentWorld->currentPath;
    if (path == nullptr || path->nodes == nullptr || (path->flags & PathHasBandData) == 0) {
        return nullptr;
    }
    const int32_t index = CarServices.pathFollowerNode(car->pathFollower);
    if (index < 0 || index >= path->nodeCount) {
        return nullptr;
    }
    return &path->nodes[index];
}

}  // namespace

void InitCarSoundMixer()
{
    const double f = std::pow(120.0, 1.0 / 8.0);
    for (int i = 0; i < EchoLineCount; i++) {
        EchoLine &line = EchoLines[i];
        const double g = std::pow(f, i + 1);
        line.length = static_cast<int32_t>(std::lround(g * 267.27274));
        std::memset(line.ring, 0, sizeof(line.ring));
        line.leftGain = 0.2f;
        line.rightGain = 0.2f;
        line.leftStep = 0.0f;
        line.rightStep = 0.0f;
        line.position = 0;
    }
    CockpitLowPass[0] = 0.0f;
    CockpitLowPass[1] = 0.0f;
    CarSoundMixerEnabled = 1;
    SoundListenerValid = 0;
}

void ResetSoundListener()
{
    StopCarSoundBuffer();
    Listener.orientation = {{65536, 0, 0, 0, 65536, 0, 0, 0, 65536}};
    Listener.position = {0, 0, 0};
    if (CarSoundLinks.referenceFrame != nullptr) {
        CarSoundLinks.referenceFrame(&Listener.orientation, &Listener.position);
    }
    Listener.velocity[0] = Listener.velocity[1] = Listener.velocity[2] = 0.0f;
    CarSoundMixerEnabled = 0;
    SoundListenerValid = 0;
    Listener.attached = 0;
    Listener.mode = 1;
    Listener.focusedCar = nullptr;
    LoudVoiceCount = 0;
    CrowdGain = 1.0f;
}

void BuildMixList()
{
    MixList.count = 0;
    if (SoundListenerValid == 0 || CarSoundLinks.slotCount == nullptr || CarSoundLinks.slotCar == nullptr) {
        return;
    }
    const int slots = CarSoundLinks.slotCount();
    for (int slot = 0; slot < slots && MixList.count < MixListSize; slot++) {
        CarObject *car = CarSoundLinks.slotCar(slot);
        if (car == nullptr) {
            continue;
        }
        float d2 = 0.0f;
        int at = 0;
        if (Listener.attached == 0 || car != Listener.focusedCar) {
            // Differences of world positions reach 2^31: square them in double.
            const double dx = static_cast<double>(car->position.x) - Listener.position.x;
            const double dy = static_cast<double>(car->position.y) - Listener.position.y;
            const double dz = static_cast<double>(car->position.z) - Listener.position.z;
            d2 = static_cast<float>((dx * dx + dy * dy + dz * dz) / 65536.0 / 65536.0);
            while (at < MixList.count && MixList.entries[at].distance < d2) {
                at++;
            }
        }
        for (int i = MixList.count; i > at; i--) {
            MixList.entries[i] = MixList.entries[i - 1];
        }
        MixList.entries[at] = {car, d2};
        MixList.count++;
    }
}

void UpdateCrowdGain()
{
    float g = 1.0f - static_cast<float>(LoudVoiceCount - 10) * 0.011111111f;
    if (g < 0.1f) {
        g = 0.1f;
    } else if (g > 1.0f) {
        g = 1.0f;
    }
    CrowdGain = g;
}

void SetEchoTargets(const PathNode *node, float lateral)
{
    if (node == nullptr) {
        for (EchoLine &line : EchoLines) {
            line.leftGain = line.rightGain = 0.0f;
            line.leftStep = line.rightStep = 0.0f;
        }
        return;
    }
    const FixVector v = {static_cast<int32_t>(std::lround(node->direction[1] * 65536.0f)),
                         static_cast<int32_t>(std::lround(-node->direction[0] * 65536.0f)), 0};
    FixVector u;
    TransformFixVector(Listener.orientation, v, u);
    const float pR = (static_cast<float>(u.x) + 65536.0f) / 131072.0f;
    const float pL = (65536.0f - static_cast<float>(u.x)) / 131072.0f;
    float lo = std::fmin(node->leftEdge, node->rightEdge) + 0.4f;
    float hi = std::fmax(node->leftEdge, node->rightEdge) - 0.4f;
    if (hi - lo < 0.6f) {
        const float widen = (0.6f - (hi - lo)) * 0.5f;
        lo -= widen;
        hi += widen;
    }
    const float t = (lateral - lo) / (hi - lo);
    int r = 0;
    float w = 0.0f;
    if (!(t > 0.0f)) {
        r = 0;
        w = 0.0f;
    } else if (t >= 1.0f) {
        r = 6;
        w = 1.0f;
    } else {
        const float x = 7.0f * t;
        r = static_cast<int>(x);
        if (r > 6) {
            r = 6;
        }
        w = x - static_cast<float>(r);
    }
    const uint8_t *row0 = node->band + r * 16;
    const uint8_t *row1 = row0 + 16;
    const float e = (EchoBalance + 1.0f) * EchoRowBase;
    for (int j = 0; j < EchoLineCount; j++) {
        const float U = (row1[j] * w + row0[j] * (1.0f - w)) * e;
        const float V = (row1[8 + j] * w + row0[8 + j] * (1.0f - w)) * e;
        EchoLine &line = EchoLines[j];
        AimEchoGain(U * pR + V * pL, line.leftGain, line.leftStep);
        AimEchoGain(U * pL + V * pR, line.rightGain, line.rightStep);
    }
}

void ApplyCockpitLowPass(float k)
{
    if (k == 0.0f) {
        return;
    }
    float *dry = Dry();
    for (int c = 0; c < 2; c++) {
        float state = CockpitLowPass[c];
        for (int i = 0; i < CarSoundMixFrames; i++) {
            state = state * k + (1.0f - k) * dry[i * 2 + c];
            if (state > -0.1f && state < 0.1f) {
                state = 0.0f;
            }
            dry[i * 2 + c] = state;
        }
        CockpitLowPass[c] = state;
    }
}

void RunEchoLines()
{
    float *echo = EchoReturn();
    const float *dry = Dry();
    // Read: the ring position does not move here.
    for (EchoLine &line : EchoLines) {
        if (line.length <= 0) {
            continue;
        }
        int32_t p = line.position;
        for (int i = 0; i < CarSoundMixFrames; i++) {
            echo[i * 2] += line.ring[p * 2];
            echo[i * 2 + 1] += line.ring[p * 2 + 1];
            if (++p >= line.length) {
                p = 0;
            }
        }
    }
    for (int i = 0; i < CarSoundMixFrames * 2; i++) {
        if (echo[i] > -0.5f && echo[i] < 0.5f) {
            echo[i] = 0.0f;
        }
    }
    // Write with the crossed feedback; the position advances.
    for (EchoLine &line : EchoLines) {
        if (line.length <= 0) {
            continue;
        }
        int32_t p = line.position;
        for (int i = 0; i < CarSoundMixFrames; i++) {
            line.leftGain += line.leftStep;
            line.rightGain += line.rightStep;
            line.ring[p * 2] = HoldEcho((echo[i * 2 + 1] * 0.2f + dry[i * 2]) * line.leftGain);
            line.ring[p * 2 + 1] = HoldEcho((echo[i * 2] * 0.2f + dry[i * 2 + 1]) * line.rightGain);
            if (++p >= line.length) {
                p = 0;
            }
        }
        line.position = p;
    }
}

// The voices of the cars, the echo lines and the interface voices add into
// the accumulators before this; what is written is V (1.5 s - 0.5 s^3) of the
// summed sample s held to -1..1, which stays below full scale and rounds off
// peaks instead of cutting them.
void MixCarSounds(int16_t *destination)
{
    BuildMixList();
    float k = 0.0f;
    if (MixList.count != 0) {
        LoudVoiceCount = 0;
        const int skip = LinkFlag(CarSoundLinks.replaySkip);
        const int editing = LinkFlag(CarSoundLinks.freeViewEditing);
        int mixed = 0;
        for (int e = 0; e < MixList.count; e++) {
            CarObject *car = MixList.entries[e].car;
            int notMixed = 1;
            if (skip == 0 && mixed < CarsMixedInFull && car->active != 0 && car->singleStep == 0 &&
                car->dynamic != 0 && editing == 0) {
                notMixed = 0;
                mixed++;
            }
            car->soundHeard = notMixed == 0 ? 1 : 0;
            int inside = 0;
            int mode = 1;
            ChooseInside(car, inside, mode, k);
            if (CarSoundLinks.mixSound != nullptr) {
                CarSoundLinks.mixSound(car, CarSoundMixFrames, inside, mode, notMixed);
            } else {
                MixCarSound(*car, CarSoundMixFrames, inside, mode, notMixed);
            }
        }
        UpdateCrowdGain();
    }
    // The first car's place on the road gives the echo; a car without a path
    // node (no path, the garage) gives none, as an empty list does.
    const PathNode *node = nullptr;
    float lateral = 0.0f;
    if (MixList.count != 0) {
        const CarObject *first = MixList.entries[0].car;
        node = CarSoundLinks.pathNode != nullptr ? CarSoundLinks.pathNode(first) : CurrentPathNode(first);
        lateral = first->progress[1];
    }
    CockpitLowPassFactor = k;
    ApplyCockpitLowPass(k);
    SetEchoTargets(node, lateral);
    RunEchoLines();
    // The interface voices go in last, past the echo and the low-pass.
    if (InterfaceVoices.count != 0) {
        MixInterfaceVoices();
    }
    const float v = CarSoundGain * FullScale;
    const float p = 1.5f * v;
    const float q = 0.5f * v;
    CarSoundClipping = 0;
    for (int i = 0; i < CarSoundMixFrames * 2; i++) {
        float s = (CarSoundMixBuffers[1][i] + CarSoundMixBuffers[2][i] + CarSoundMixBuffers[0][i]) * InverseFullScale;
        if (s < -1.0f) {
            s = -1.0f;
            CarSoundClipping = 1;
        } else if (s > 1.0f) {
            s = 1.0f;
            CarSoundClipping = 1;
        } else if (!(s == s)) {
            s = 0.0f;
        }
        float out = std::round((p - s * s * q) * s);
        if (out < -FullScale) {
            out = -FullScale;
        } else if (out > FullScale) {
            out = FullScale;
        }
        destination[i] = static_cast<int16_t>(out);
    }
    std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
}
