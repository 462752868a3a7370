#include "tools/default_sounds.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/interface_sound.h"
#include "audio/wave_file.h"

namespace {

constexpr double Rate = 44100.0;
constexpr double Pi = 3.14159265358979323846;

// Lengths in frames; samples 0..6 are stereo, the loops mono.
constexpr uint32_t SoundFrames[SoundSampleCount] = {
    662,   15435, 3528,  6615,  17640, 88200, 66150,                       // interface and race end
    44100, 22050, 26460, 30870, 35280, 35280, 35280, 35280,                // road, skids
    26460, 26460, 44100,                                                   // scrapes, wind
    22050, 22050, 22050, 22050, 22050,                                     // horns
};

// A small deterministic noise source.
struct Noise {
    uint32_t state;
    double Next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<double>(state) / 2147483648.0 - 1.0;
    }
};

struct OnePole {
    double y = 0.0;
    double LowPass(double x, double cutoff)
    {
        const double a = 1.0 - std::exp(-2.0 * Pi * cutoff / Rate);
        y += a * (x - y);
        return y;
    }
};

double Sine(double frequency, double t)
{
    return std::sin(2.0 * Pi * frequency * t);
}

// A band-limited tone of the given harmonics with amplitude 1/n^power.
double Harmonics(double frequency, double t, int count, double power, bool oddOnly)
{
    double sum = 0.0;
    for (int n = 1; n <= count; n++) {
        if (oddOnly && n % 2 == 0) {
            continue;
        }
        if (frequency * n > 16000.0) {
            break;
        }
        sum += Sine(frequency * n, t) / std::pow(n, power);
    }
    return sum;
}

// Attack, then an exponential decay; 0 before the start.
double Bell(double t, double start, double attack, double decay)
{
    const double u = t - start;
    if (u < 0.0) {
        return 0.0;
    }
    return u < attack ? u / attack : std::exp(-(u - attack) / decay);
}

// Rises over `edge` seconds at both ends of start..end.
double Gate(double t, double start, double end, double edge)
{
    if (t < start || t >= end) {
        return 0.0;
    }
    return std::min({1.0, (t - start) / edge, (end - t) / edge});
}

void Normalise(std::vector<double> &x, double peak)
{
    double largest = 0.0;
    for (double v : x) {
        largest = std::max(largest, std::fabs(v));
    }
    if (largest > 0.0) {
        for (double &v : x) {
            v *= peak / largest;
        }
    }
}

// The interface sounds and the jingles: left and right channels.
void MakeStereo(int n, std::vector<double> &left, std::vector<double> &right, Noise &noise)
{
    const uint32_t frames = SoundFrames[n];
    left.assign(frames, 0.0);
    right.assign(frames, 0.0);
    OnePole crowdLeft;
    OnePole crowdRight;
    OnePole crowdLeft2;
    OnePole crowdRight2;
    for (uint32_t i = 0; i < frames; i++) {
        const double t = i / Rate;
        double l = 0.0;
        double r = 0.0;
        switch (n) {
        case SoundClick: {   // a 15 ms click
            const double e = std::exp(-t / 0.002);
            l = r = e * (0.7 * Sine(2500.0, t) + 0.3 * noise.Next());
            r *= 0.9;
            break;
        }
        case SoundMessage: {   // two bell notes
            l = Bell(t, 0.0, 0.003, 0.08) * (Sine(1318.5, t) + 0.3 * Sine(2637.0, t)) +
                Bell(t, 0.12, 0.003, 0.1) * (Sine(1760.0, t) + 0.3 * Sine(3520.0, t));
            l *= Gate(t, 0.0, frames / Rate, 0.01);
            r = l;
            break;
        }
        case SoundSystemMessage: {   // a soft blip
            const double w = std::sin(Pi * t / (frames / Rate));
            l = r = w * w * Sine(1000.0, t);
            break;
        }
        case SoundInvalidKey: {   // a low buzz
            l = r = Gate(t, 0.0, frames / Rate, 0.01) * Harmonics(140.0, t, 15, 1.0, true);
            break;
        }
        case SoundError: {   // a falling two-tone
            l = r = Gate(t, 0.0, 0.2, 0.01) * Harmonics(660.0, t, 5, 2.0, true) +
                    Gate(t, 0.2, 0.4, 0.02) * Harmonics(440.0, t, 5, 2.0, true);
            break;
        }
        case SoundWinRace: {   // a fanfare over a crowd cheer
            const double notes[] = {523.25, 659.25, 783.99, 1046.5};
            double brass = 0.0;
            for (int k = 0; k < 4; k++) {
                const double start = 0.2 * k;
                const double end = k == 3 ? 1.8 : start + 0.19;
                brass += Gate(t, start, end, 0.015) * Harmonics(notes[k], t, 8, 1.0, false);
            }
            const double swell = std::sin(Pi * t / 2.0);
            const double cheerLeft = crowdLeft2.LowPass(crowdLeft.LowPass(noise.Next(), 2500.0), 5000.0);
            const double cheerRight = crowdRight2.LowPass(crowdRight.LowPass(noise.Next(), 2500.0), 5000.0);
            const double flutter = 0.75 + 0.25 * Sine(5.3, t);
            l = 0.5 * brass + 3.0 * swell * flutter * cheerLeft;
            r = 0.5 * brass + 3.0 * swell * flutter * cheerRight;
            break;
        }
        case SoundFinishRace: {   // a short phrase ending on a chord
            const double notes[] = {392.0, 523.25, 659.25};
            double tone = 0.0;
            for (int k = 0; k < 3; k++) {
                tone += Gate(t, 0.25 * k, 0.25 * k + 0.23, 0.01) * Harmonics(notes[k], t, 4, 1.5, false);
            }
            const double chord = Harmonics(523.25, t, 4, 1.5, false) + Harmonics(659.25, t, 4, 1.5, false) +
                                 Harmonics(783.99, t, 4, 1.5, false);
            tone += 0.5 * Gate(t, 0.75, 1.5, 0.02) * Bell(t, 0.75, 0.01, 0.4) * chord;
            l = tone;
            r = tone;
            break;
        }
        default:
            break;
        }
        left[i] = l;
        right[i] = r;
    }
}

// One value of a loop before the cross-fade.
double LoopValue(int n, double t, Noise &noise, OnePole &a, OnePole &b)
{
    const double white = noise.Next();
    switch (n) {
    case 7:   // road rumble
        return b.LowPass(a.LowPass(white, 180.0), 180.0);
    case 8:   // light squeal
        return Sine(1400.0, t + 0.0004 * Sine(6.0, t)) + 0.05 * a.LowPass(white, 4000.0);
    case 9:   // heavy slide, first grip
        return Sine(900.0, t + 0.0006 * Sine(8.0, t)) * (0.8 + 0.2 * Sine(14.0, t)) + 0.2 * a.LowPass(white, 3000.0);
    case 10:  // heavy slide, rougher
        return Harmonics(650.0, t + 0.0008 * Sine(10.0, t), 4, 1.5, false) * (0.7 + 0.3 * Sine(20.0, t)) +
               0.4 * a.LowPass(white, 2500.0);
    case 11:  // heavy slide, harsh
        return Harmonics(450.0, t + 0.001 * Sine(12.0, t), 10, 1.0, false) * (0.6 + 0.4 * Sine(25.0, t)) +
               0.8 * a.LowPass(white, 2000.0);
    case 12:  // grass: a swish of high noise
        return (white - a.LowPass(white, 1500.0)) * (0.7 + 0.3 * Sine(3.75, t));
    case 13: {  // dirt: rumble with crackles
        const double crackle = noise.Next() > 0.995 ? noise.Next() * 8.0 : 0.0;
        return b.LowPass(a.LowPass(white, 800.0) + crackle, 1500.0);
    }
    case 14:  // sand: a soft hiss
        return a.LowPass(white, 3000.0) - b.LowPass(white, 600.0);
    case 15:  // hard scrape: metal ringing over noise
        return 0.5 * (Sine(2300.0, t) + Sine(3700.0, t)) * (0.5 + 0.5 * std::fabs(a.LowPass(white, 50.0)) * 10.0) +
               0.3 * white;
    case 16:  // soft scrape: a low rub
        return b.LowPass(white, 900.0) + 0.3 * Sine(400.0, t) * (0.6 + 0.4 * Sine(5.0, t));
    case 17:  // wind
        return b.LowPass(a.LowPass(white, 400.0), 400.0) * (0.7 + 0.3 * Sine(2.0, t));
    case 18:  // horns: chords of band-limited saws, whole cycles in the loop
        return Harmonics(400.0, t, 10, 1.0, false) + Harmonics(500.0, t, 10, 1.0, false);
    case 19:
        return Harmonics(330.0, t, 10, 1.0, false) + Harmonics(416.0, t, 10, 1.0, false);
    case 20:
        return Harmonics(520.0, t, 10, 1.0, false) + Harmonics(650.0, t, 10, 1.0, false);
    case 21:
        return Harmonics(280.0, t, 12, 1.0, false);
    case 22:
        return Harmonics(440.0, t, 8, 1.0, false) + Harmonics(554.0, t, 8, 1.0, false) +
               Harmonics(660.0, t, 8, 1.0, false);
    default:
        return 0.0;
    }
}

// A mono loop that repeats without a click: the last 20 ms past its end
// are cross-faded into its start, so its end runs on into its beginning.
std::vector<double> MakeLoop(int n, Noise &noise)
{
    const uint32_t frames = SoundFrames[n];
    const uint32_t fade = 882;
    std::vector<double> x(frames + fade);
    OnePole a;
    OnePole b;
    // Settle the filters first.
    for (int i = 0; i < 4410; i++) {
        LoopValue(n, 0.0, noise, a, b);
    }
    for (uint32_t i = 0; i < frames + fade; i++) {
        x[i] = LoopValue(n, i / Rate, noise, a, b);
    }
    std::vector<double> out(x.begin(), x.begin() + frames);
    for (uint32_t i = 0; i < fade; i++) {
        const double w = static_cast<double>(i) / fade;
        out[i] = x[i] * w + x[frames + i] * (1.0 - w);
    }
    return out;
}

std::vector<int16_t> ToValues(const std::vector<double> &x)
{
    std::vector<int16_t> v(x.size());
    for (size_t i = 0; i < x.size(); i++) {
        v[i] = static_cast<int16_t>(std::clamp(std::lrint(x[i]), -32767L, 32767L));
    }
    return v;
}

}  // namespace

DefaultSoundShape DefaultSoundShapeOf(int n)
{
    if (n < 0 || n >= SoundSampleCount) {
        return {0, 0};
    }
    return {n < FirstLoopSample ? 2 : 1, SoundFrames[n]};
}

const char *WriteDefaultSounds(const char *runFolder)
{
    static std::string error;
    const std::filesystem::path folder = std::filesystem::path(runFolder) / "data" / "sound";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        error = "cannot create " + folder.string() + ": " + ec.message();
        return error.c_str();
    }
    // Loudness of each sample's peak: the interface sounds stay polite.
    const double peaks[FirstLoopSample] = {12000, 10000, 7000, 8000, 10000, 18000, 14000};
    for (int n = 0; n < SoundSampleCount; n++) {
        Noise noise{0x5eed1u + static_cast<uint32_t>(n) * 7919u};
        const DefaultSoundShape shape = DefaultSoundShapeOf(n);
        std::vector<int16_t> values;
        if (shape.channels == 2) {
            std::vector<double> left;
            std::vector<double> right;
            MakeStereo(n, left, right, noise);
            std::vector<double> both(left);
            both.insert(both.end(), right.begin(), right.end());
            double largest = 0.0;
            for (double v : both) {
                largest = std::max(largest, std::fabs(v));
            }
            const double scale = largest > 0.0 ? peaks[n] / largest : 0.0;
            values.resize(2 * static_cast<size_t>(shape.frames));
            for (uint32_t i = 0; i < shape.frames; i++) {
                values[2 * i] = static_cast<int16_t>(std::lrint(left[i] * scale));
                values[2 * i + 1] = static_cast<int16_t>(std::lrint(right[i] * scale));
            }
        } else {
            std::vector<double> loop = MakeLoop(n, noise);
            Normalise(loop, 16000.0);
            values = ToValues(loop);
        }
        const std::string path = (folder / (std::string(SoundSampleNames[n]) + ".wav")).string();
        if (!WriteWavFile(nullptr, path.c_str(), shape.frames, shape.channels, values.data())) {
            error = "cannot write " + path;
            return error.c_str();
        }
    }
    return nullptr;
}
