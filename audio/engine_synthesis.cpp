#include "audio/engine_synthesis.h"

#include <cmath>

#include "audio/car_sound_mixer.h"
#include "core/shell_globals.h"
#include "vehicle/car_engine.h"
#include "vehicle/car_sound_state.h"

namespace {

constexpr float FrameTime = 2.2675737e-05f;   // 1 / 44,100 s
constexpr int DelayMask = ExhaustDelayFrames - 1;

// True when the first `cylinders` entries are each of 1..cylinders once.
bool IsFiringOrder(const uint8_t *order, int cylinders)
{
    unsigned seen = 0;
    for (int i = 0; i < cylinders; i++) {
        const int c = order[i];
        if (c < 1 || c > cylinders || (seen & (1u << c)) != 0) {
            return false;
        }
        seen |= 1u << c;
    }
    return true;
}

float Semitones(int8_t steps)
{
    const float f = std::pow(2.0f, static_cast<float>(steps) / 12.0f);
    return f * f;
}

// The running pulses of a bank: one frame of each.
void StepPulses(ExhaustBank &bank, int pipes, const float *wave, uint32_t waveCount)
{
    const float last = static_cast<float>(waveCount) - 1.0f;
    for (int j = 0; j < pipes; j++) {
        ExhaustPipe &pipe = bank.pipes[j];
        if (pipe.amplitude == 0.0f) {
            continue;
        }
        const long j0 = std::lrint(pipe.readPosition - 0.499999f);
        const float f = pipe.readPosition - static_cast<float>(j0);
        pipe.readPosition += pipe.readStep;
        pipe.amplitude -= pipe.decrement;
        if (pipe.amplitude < 0.0f || pipe.readPosition >= last || j0 < 0 || wave == nullptr) {
            pipe.pulseOutput = 0.0f;
            pipe.amplitude = 0.0f;
        } else {
            pipe.pulseOutput = (wave[j0] + (wave[j0 + 1] - wave[j0]) * f) * pipe.amplitude;
        }
    }
}

}  // namespace

void SynthesizeEngine(CarSoundState &state, int frames, int inside, int side, float firingRate, float audibility,
                      float leftTarget, float rightTarget, CarEngine &engine, float halving, float doppler)
{
    // 1-2. Loud voices count; a car too quiet for the crowd fades out; a
    // silent car keeps its resonators as they are.
    if (audibility > 0.02f) {
        LoudVoiceCount += 3;
    }
    if (audibility < 0.02f / CrowdGain) {
        leftTarget = 0.0f;
        rightTarget = 0.0f;
    }
    if (leftTarget == 0.0f && rightTarget == 0.0f && state.previousLeft == 0.0f && state.previousRight == 0.0f) {
        state.pulseClock = 0.0f;
        return;
    }
    if (frames < 1) {
        return;
    }

    // The cylinders: one bank holds at most eight pipes; two banks share
    // the cylinders alternately, an odd count giving bank 0 one more.
    const int cylinders = engine.cylinders < 0 ? 0 : (engine.cylinders > 12 ? 12 : engine.cylinders);
    const bool twoBanks = engine.layout != 0;
    const int banks = twoBanks ? 2 : 1;
    int pipes = twoBanks ? (cylinders + 1) / 2 : cylinders;
    if (pipes > ExhaustPipesPerBank) {
        pipes = ExhaustPipesPerBank;
    }
    const bool ordered = IsFiringOrder(engine.firingOrder, cylinders);
    const bool fires = cylinders >= 1 && firingRate > 0.0f && std::isfinite(firingRate);

    // 3-8. The block's constants, in this order.
    const float scale = twoBanks ? 32768.0f : 16384.0f;
    float gl = scale * state.previousLeft;
    float gr = scale * state.previousRight;
    const float stepLeft = scale * (leftTarget - state.previousLeft) / static_cast<float>(frames);
    const float stepRight = scale * (rightTarget - state.previousRight) / static_cast<float>(frames);
    const float interval = fires ? 44100.0f / firingRate : 0.0f;
    const float k = static_cast<float>(cylinders) * interval * 0.667f;
    long next = fires ? std::lrint(state.pulseClock) : -1;
    const long u = std::lrint(halving * 65536.0f);

    const EngineSoundParams &p = engine.soundParams;
    const float load = engine.soundLoad;
    const float rev = engine.soundRevFraction;
    const float r = std::sqrt(p.Word(13) + (1.0f - p.Word(13)) * load);
    const float a0 = p.Word(12) * r;
    const float b0 = (p.Word(15) + (1.0f - p.Word(15)) * rev) * (p.Word(14) + (1.0f - p.Word(14)) * load) * rev *
                     doppler * 0.0006f;
    const float t = ((r * rev - 1.0f) * p.Word(9) + 1.0f) * doppler;
    const float c1 = t * p.Word(8) * 100000.0f;
    const float c2 = -100.0f * p.Word(10) * p.Word(8) * t;
    const float fh = Semitones(p.semitones[0]) * 0.5f;
    const float fc = Semitones(p.semitones[1]) / static_cast<float>(pipes + 1);
    const float ft = Semitones(p.semitones[2]);
    const float q = side ? -0.25f : 0.25f;
    const float w11 = p.Word(11);
    const float w34 = p.Word(34);
    const float w35 = p.Word(35);
    const float w36 = p.Word(36);

    const EngineWave &pulseWave = engine.waves[WaveExhaustPulse];
    const float *wave = pulseWave.samples;
    const uint32_t waveCount = wave != nullptr ? pulseWave.sampleCount : 0;
    float *dry = CarSoundMixBuffers[0];

    for (int i = 0; i < frames; i++) {
        gl += stepLeft;
        gr += stepRight;

        if (i == next) {
            engine.firingIndex %= static_cast<uint32_t>(cylinders);
            const int cylinder = ordered ? engine.firingOrder[engine.firingIndex] - 1
                                         : static_cast<int>(engine.firingIndex);
            const int bank = twoBanks ? cylinder % 2 : 0;
            const int index = (twoBanks ? cylinder / 2 : cylinder) % ExhaustPipesPerBank;
            state.pulseClock += interval;
            next = std::lrint(state.pulseClock);
            ExhaustPipe &pipe = state.banks[bank].pipes[index];
            const float a = a0 / (static_cast<float>(index) * w11 + 1.0f);
            pipe.readStep = a * rev * doppler;
            pipe.amplitude = a * b0;
            FrameRandom = (FrameRandom * 5u + 1u) & 0xffffu;
            if (static_cast<long>(FrameRandom) < u) {
                pipe.amplitude *= 0.5f;
            }
            pipe.readPosition = 0.0f;
            pipe.decrement = pipe.amplitude / k;
            engine.firingIndex = (engine.firingIndex + 1) % static_cast<uint32_t>(cylinders);
        }

        for (int b = 0; b < banks; b++) {
            ExhaustBank &bank = state.banks[b];
            StepPulses(bank, pipes, wave, waveCount);

            float sum = 0.0f;
            for (int j = 0; j < pipes; j++) {
                ExhaustPipe &pipe = bank.pipes[j];
                float acc = c2 * pipe.velocity - c1 * (pipe.displacement - pipe.pulseOutput);
                const float c = c1 * (bank.collector.displacement - pipe.displacement);
                bank.collector.force -= c;
                acc = (acc + c) * fh;
                pipe.acceleration = acc;
                pipe.velocity += acc * FrameTime;
                pipe.displacement += pipe.velocity * FrameTime;
                sum += pipe.displacement;
            }
            const float g = c1 * (bank.tail.displacement - bank.collector.displacement);
            bank.collector.velocity += (g + bank.collector.force) * fc * FrameTime;
            bank.collector.displacement += bank.collector.velocity * FrameTime;
            bank.collector.force = bank.collector.velocity * c2;
            bank.tail.velocity += (bank.tail.force - g) * ft * FrameTime;
            bank.tail.displacement += bank.tail.velocity * FrameTime;
            bank.tail.force = bank.tail.velocity * c2;
            const float o = w34 * sum + w35 * bank.collector.displacement + w36 * bank.tail.displacement;

            float &left = dry[2 * i];
            float &right = dry[2 * i + 1];
            float &ring1 = state.delay1[state.delayIndex1 & DelayMask];
            float &ring2 = state.delay2[state.delayIndex2 & DelayMask];
            if (!inside) {
                if (!twoBanks) {
                    left += (o + ring1) * gl;
                    right += (o + ring1) * gr;
                    ring1 = o;
                    state.delayIndex1 = (state.delayIndex1 + 1) & DelayMask;
                } else if (b == 0) {
                    left += o * gl;
                    right += o * gr;
                } else {
                    left += ring1 * gl;
                    right += ring1 * gr;
                    ring1 = o;
                    state.delayIndex1 = (state.delayIndex1 + 1) & DelayMask;
                }
            } else if (!twoBanks) {
                const float ht = w36 * bank.tail.displacement;
                const float m = w35 * bank.collector.displacement + w34 * sum;
                const float x1 = ht * (1.0f + q) + m * (1.0f - q);
                const float x2 = m * (1.0f + q) + ht * (1.0f - q);
                left += (x1 + ring2) * gl;
                right += (x2 + ring1) * gr;
                ring1 = x1;
                ring2 = x2;
                state.delayIndex1 = (state.delayIndex1 + 1) & DelayMask;
                state.delayIndex2 = (state.delayIndex2 + 1) & DelayMask;
            } else if (b == 0) {
                left += o * gl;
                right += ring1 * gr;
                ring1 = o;
                state.delayIndex1 = (state.delayIndex1 + 1) & DelayMask;
            } else {
                left += ring2 * gl;
                right += o * gr;
                ring2 = o;
                state.delayIndex2 = (state.delayIndex2 + 1) & DelayMask;
            }
        }
    }

    state.pulseClock -= static_cast<float>(frames);
    if (state.pulseClock < -0.5f) {
        state.pulseClock = -0.5f;   // only a firing rate above the frame rate falls behind
    }
    state.previousLeft = leftTarget;
    state.previousRight = rightTarget;
}
