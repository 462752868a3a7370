// The whole program on the real clock and the real window, with SDL's disk
// sound driver recording what the program plays: the start grid's race is
// heard (engines and road above a floor), the mixer runs, and the driven car
// answers the throttle pressed through the window. The run stops by a
// terminate signal, as a user's kill would.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <csignal>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/program.h"
#include "audio/car_sound_mixer.h"
#include "core/debug_log.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "vehicle/car_object.h"

namespace {

// Seconds of race before the throttle is pressed, how long it is held, and
// how long the race runs on after its release before the program is stopped.
// Under the sanitizers a frame can take long: the throttle is held and the
// race runs on for at least a number of main-loop passes too.
constexpr double ThrottleAt = 1.5;
constexpr double ThrottleFor = 2.5;
constexpr double RunOnFor = 0.5;
constexpr int MinimumPasses = 10;
// The longest wait for the race to start (loading the site and the cars).
constexpr uint32_t StartLimitMs = 90000;

constexpr int Rate = 44100;
constexpr size_t FrameBytes = 4;  // signed 16-bit stereo

struct RaceRun {
    uint32_t startMs = 0;           // when the program started
    uint32_t raceMs = 0;            // when the driven car appeared (0: not yet)
    uintmax_t raceFileOffset = 0;   // size of the sound file then
    uintmax_t pressFileOffset = 0;  // at the throttle's press
    uintmax_t releaseFileOffset = 0;  // at its release
    uintmax_t stopFileOffset = 0;   // at the stop
    uint32_t pressMs = 0;
    uint32_t releaseMs = 0;
    int passes = 0;                 // main-loop passes since the last step of the timeline
    float idleSpeed = -1.0f;        // driven engine speed before the throttle
    float throttleSpeed = -1.0f;    // and at the end of the held throttle
    float peakSpeed = 0.0f;         // highest engine speed while the throttle was held
    uint16_t throttleWord = 0;      // the car's throttle input while held
    int pressed = 0;
    int released = 0;
    int stopSent = 0;
    int mixerSeen = 0;  // the mixer enabled and the listener valid during the race
    std::string soundFile;
};

RaceRun Race;

SDL_Window *ProgramWindow()
{
    return SDL_GL_GetCurrentWindow();
}

void PushLeftButton(bool down)
{
    int width = 640;
    int height = 480;
    if (SDL_Window *window = ProgramWindow()) {
        SDL_GetWindowSize(window, &width, &height);
    }
    SDL_Event event{};
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.button = SDL_BUTTON_LEFT;
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = 1;
    event.button.x = width / 2;  // the mouse steering stays centred
    event.button.y = height / 2;
    SDL_PushEvent(&event);
}

uint32_t NowMs()
{
    return SDL_GetTicks();
}

// Each main-loop pass sleeps through here: the test watches the race and
// acts on the program's real clock.
void WatchingSleep(int ms)
{
    SDL_Delay(static_cast<Uint32>(ms > 0 ? ms : 0));
    const uint32_t now = NowMs();
    if (Race.stopSent) {
        return;
    }
    std::error_code error;
    const uintmax_t soundBytes = std::filesystem::file_size(Race.soundFile, error);
    Race.passes++;
    GameSession *session = GameSessionPtr;
    CarObject *car = session != nullptr ? session->drivenCar : nullptr;
    if (Race.raceMs == 0) {
        if (car != nullptr) {
            Race.raceMs = now;
            Race.raceFileOffset = soundBytes;
        } else if (now - Race.startMs > StartLimitMs) {
            Race.stopSent = 1;
            std::raise(SIGTERM);
        }
        return;
    }
    const double t = (now - Race.raceMs) / 1000.0;
    if (car != nullptr && CarSoundMixerEnabled && SoundListenerValid) {
        Race.mixerSeen = 1;
    }
    if (!Race.pressed && t >= ThrottleAt) {
        Race.idleSpeed = car != nullptr ? car->engine.speed : -1.0f;
        PushLeftButton(true);
        Race.pressed = 1;
        Race.pressMs = now;
        Race.pressFileOffset = soundBytes;
        Race.passes = 0;
    } else if (Race.pressed && !Race.released) {
        if (car != nullptr) {
            Race.peakSpeed = std::max(Race.peakSpeed, car->engine.speed);
            Race.throttleWord = std::max(Race.throttleWord, car->inputs[1]);
        }
        if (now - Race.pressMs >= ThrottleFor * 1000 && Race.passes >= MinimumPasses) {
            Race.throttleSpeed = car != nullptr ? car->engine.speed : -1.0f;
            PushLeftButton(false);
            Race.released = 1;
            Race.releaseMs = now;
            Race.releaseFileOffset = soundBytes;
            Race.passes = 0;
        }
    } else if (Race.released && now - Race.releaseMs >= RunOnFor * 1000 && Race.passes >= MinimumPasses / 2) {
        Race.stopSent = 1;
        Race.stopFileOffset = soundBytes;
        std::raise(SIGTERM);
    }
}

std::vector<int16_t> ReadSamples(const std::string &path, uintmax_t fromByte)
{
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(fromByte - fromByte % FrameBytes));
    std::vector<int16_t> samples;
    int16_t pair[2];
    while (in.read(reinterpret_cast<char *>(pair), sizeof(pair))) {
        samples.push_back(pair[0]);
        samples.push_back(pair[1]);
    }
    return samples;
}

// The mono mix of a window, its RMS in dBFS and the share of its energy
// between 40 and 2,000 Hz (a plain DFT over those bins).
struct WindowMeasure {
    double dbfs;
    double bandShare;
};

WindowMeasure Measure(const std::vector<int16_t> &samples, size_t firstFrame, size_t frames)
{
    std::vector<double> mono(frames);
    double mean = 0.0;
    double power = 0.0;
    for (size_t i = 0; i < frames; ++i) {
        const size_t at = (firstFrame + i) * 2;
        mono[i] = (samples[at] + samples[at + 1]) * 0.5 / 32768.0;
        mean += mono[i];
        const double l = samples[at] / 32768.0;
        const double r = samples[at + 1] / 32768.0;
        power += (l * l + r * r) * 0.5;
    }
    mean /= static_cast<double>(frames);
    const double rms = std::sqrt(power / static_cast<double>(frames));
    const double dbfs = rms > 0.0 ? 20.0 * std::log10(rms) : -400.0;
    // Energy per bin by Parseval: the sum over all bins k of |X_k|^2 equals
    // frames times the sum of squares.
    double total = 0.0;
    for (double &x : mono) {
        x -= mean;
        total += x * x;
    }
    total *= static_cast<double>(frames);
    const double binHz = static_cast<double>(Rate) / static_cast<double>(frames);
    const int low = static_cast<int>(std::ceil(40.0 / binHz));
    const int high = static_cast<int>(std::floor(2000.0 / binHz));
    double band = 0.0;
    const double pi = std::acos(-1.0);
    for (int k = low; k <= high; ++k) {
        const std::complex<double> step = std::polar(1.0, -2.0 * pi * k / static_cast<double>(frames));
        std::complex<double> w = 1.0;
        std::complex<double> sum = 0.0;
        for (size_t i = 0; i < frames; ++i) {
            sum += mono[i] * w;
            w *= step;
        }
        band += 2.0 * std::norm(sum);  // the bin and its mirror
    }
    return {dbfs, total > 0.0 ? band / total : 0.0};
}

bool DisplayAvailable()
{
    const char *display = std::getenv("DISPLAY");
    return display != nullptr && display[0] != 0;
}

TEST(RaceSound, TheStartGridRaceIsHeardAndTheDrivenCarAnswersTheThrottle)
{
    if (!DisplayAvailable()) {
        GTEST_SKIP() << "no display";
    }
    // A run folder as `make run` makes it, by the data generator itself.
    const std::filesystem::path folder = std::filesystem::absolute("race_sound_run");
    std::filesystem::remove_all(folder);
    const std::string generate = std::string(KZV_DATAGEN) + " " + folder.string() + " >/dev/null";
    ASSERT_EQ(std::system(generate.c_str()), 0);
    std::filesystem::current_path(folder);
    Race = RaceRun{};
    Race.soundFile = (folder / "sound.raw").string();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", Race.soundFile.c_str(), 1);
    setenv("LC_ALL", "en_GB.UTF-8", 1);

    ProgramServices services{};
    services.sleepMs = WatchingSleep;
    SetProgramServices(services);
    Race.startMs = NowMs();
    char name[] = "kzv";
    char *argv[] = {name, nullptr};
    const int code = RunProgram(1, argv);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    unsetenv("SDL_DISKAUDIOFILE");
    EXPECT_EQ(code, 0);

    std::vector<std::string> lines;
    {
        std::ifstream log("deb.log");
        std::string line;
        while (std::getline(log, line)) {
            lines.push_back(line.size() >= LogStampLength ? line.substr(LogStampLength) : line);
        }
    }
    for (const std::string &line : lines) {
        EXPECT_EQ(line.find("No sound"), std::string::npos) << line;
    }
    ASSERT_NE(Race.raceMs, 0u) << "the race did not start within " << StartLimitMs / 1000 << " s";
    EXPECT_TRUE(Race.mixerSeen) << "the car-sound mixer was not running with a valid listener";

    // The race's sound, in 0.5 s windows from the race start to the stop
    // (after it the output replays its ring while the program shuts down).
    ASSERT_TRUE(Race.stopSent);
    std::vector<int16_t> samples = ReadSamples(Race.soundFile, Race.raceFileOffset);
    const auto frameOf = [](uintmax_t offset) { return static_cast<size_t>((offset - Race.raceFileOffset) / FrameBytes); };
    samples.resize(std::min(samples.size(), frameOf(Race.stopFileOffset) * 2));
    const size_t window = Rate / 2;
    const size_t frames = samples.size() / 2;
    ASSERT_GE(frames, window * 4) << "less than 2 s of sound recorded in the race";
    const size_t pressFrame = frameOf(Race.pressFileOffset);
    const size_t releaseFrame = frameOf(Race.releaseFileOffset);
    double bandEnergy = 0.0;
    double allEnergy = 0.0;
    double idleEnergy = 0.0;   // windows wholly before the throttle
    double revEnergy = 0.0;    // windows from 0.5 s after it until its release
    int idleWindows = 0;
    int revWindows = 0;
    for (size_t first = 0; first + window <= frames; first += window) {
        const WindowMeasure m = Measure(samples, first, window);
        EXPECT_GT(m.dbfs, -50.0) << "window at " << first / static_cast<double>(Rate) << " s";
        const double energy = std::pow(10.0, m.dbfs / 10.0);
        bandEnergy += energy * m.bandShare;
        allEnergy += energy;
        if (first + window <= pressFrame) {
            idleEnergy += energy;
            idleWindows++;
        } else if (first >= pressFrame + Rate / 2 && first + window <= releaseFrame) {
            revEnergy += energy;
            revWindows++;
        }
        std::printf("race window %.1f s: %.1f dBFS, %.0f %% in 40-2000 Hz\n", first / static_cast<double>(Rate),
                    m.dbfs, 100.0 * m.bandShare);
    }
    EXPECT_GE(bandEnergy, 0.5 * allEnergy) << "less than half the race's energy lies between 40 and 2,000 Hz";

    // The throttle through the window: the input word rises and the engine
    // revs above its idle.
    ASSERT_TRUE(Race.released) << "the run stopped before the throttle was released";
    std::printf("engine speed: idle %.1f rad/s, peak %.1f, at release %.1f; throttle word %u\n", Race.idleSpeed,
                Race.peakSpeed, Race.throttleSpeed, Race.throttleWord);
    EXPECT_GT(Race.throttleWord, 60000);
    EXPECT_GT(Race.peakSpeed, Race.idleSpeed * 1.5f);
    // and the own engine is heard louder than at idle (the others idle on).
    ASSERT_GT(idleWindows, 0);
    ASSERT_GT(revWindows, 0);
    const double rise = 10.0 * std::log10((revEnergy / revWindows) / (idleEnergy / idleWindows));
    std::printf("level rise with the throttle: %.1f dB\n", rise);
    EXPECT_GT(rise, 3.0);
}

}  // namespace
