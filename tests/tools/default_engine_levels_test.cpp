// Every default engine sound loads onto its generated car and sounds at the
// level the generator set: full load near the limiter inside 0.3..0.6 of full
// scale, idle 10..20 dB below it. The renders go to the test-output folder.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "audio/car_sound_mixer.h"
#include "audio/engine_file.h"
#include "audio/engine_synthesis.h"
#include "core/car_table.h"
#include "sound_analysis.h"
#include "tools/default_engines.h"
#include "vehicle/car_engine.h"
#include "vehicle/car_sound_state.h"

namespace {

// Two seconds of the engine heard from inside, for listening.
void WriteRender(const std::string &name, CarEngine &engine, float rate, float gain)
{
    CarSoundState state = {};
    std::vector<int16_t> pcm;
    for (int block = 0; block < 200; block++) {
        std::memset(CarSoundMixBuffers[0], 0, sizeof(CarSoundMixBuffers[0]));
        SynthesizeEngine(state, CarSoundMixFrames, 1, 0, rate, 1.0f, gain, gain, engine, 0.0f, 1.0f);
        for (float v : CarSoundMixBuffers[0]) {
            pcm.push_back(static_cast<int16_t>(std::fmax(-32767.0f, std::fmin(32767.0f, v))));
        }
    }
    std::memset(CarSoundMixBuffers[0], 0, sizeof(CarSoundMixBuffers[0]));
    WriteTestWav(name, pcm.data(), static_cast<uint32_t>(pcm.size() / 2), 2);
}

TEST(DefaultEngineLevelsTest, EveryEngineLoadsAndMeetsItsLevelWindows)
{
    ASSERT_EQ(WriteDefaultEngineFiles("."), nullptr);
    for (int car = 0; car < CarModelCount; car++) {
        SCOPED_TRACE(CarTable[car].code);
        CarEngine engine;
        ASSERT_EQ(SetUpDefaultEngine(car, engine), 1);
        EngineRecord mechanical{};
        const std::string path = std::string("data/engine/") + CarTable[car].code + "_default.eng";
        ASSERT_EQ(ReadEngineFile(mechanical, path.c_str(), nullptr, engine.soundParams, engine.waves), 1);
        mechanical.FreeWaves(true);

        EngineRecord sound{};
        sound.soundParams = engine.soundParams;
        std::memcpy(sound.waves, engine.waves, sizeof(sound.waves));
        const EngineLevels levels = MeasureEngineLevels(sound, engine);
        EXPECT_TRUE(levels.finite);
        EXPECT_GE(levels.full, 0.3);
        EXPECT_LE(levels.full, 0.6);
        const double db = 20.0 * std::log10(levels.full / levels.idle);
        EXPECT_GE(db, 10.0) << "idle " << levels.idle;
        EXPECT_LE(db, 20.0) << "idle " << levels.idle;

        // The formula class has no starter.
        EXPECT_EQ(engine.waves[WaveStarter].samples == nullptr, std::strcmp(CarTable[car].code, "FCR") == 0);

        const float gain = engine.soundParams.Word(30) * 0.175f;
        const float limit = static_cast<float>(0.95 * engine.maxSpeed / (2.0 * M_PI) * engine.cylinders / 2.0);
        engine.soundLoad = 1.0f;
        engine.soundRevFraction = 0.95f;
        WriteRender(std::string("engine_") + CarTable[car].code + "_limit", engine, limit, gain);
        engine.soundLoad = 0.0f;
        engine.soundRevFraction = engine.idleSpeed / engine.maxSpeed;
        WriteRender(std::string("engine_") + CarTable[car].code + "_idle", engine,
                    static_cast<float>(engine.idleSpeed / (2.0 * M_PI) * engine.cylinders / 2.0), gain);
        engine.FreeWaves(true);
    }
}

}  // namespace
