#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "audio/engine_file.h"
#include "core/car_table.h"
#include "core/data_stream.h"
#include "platform/jpeg_file.h"
#include "scene/human_file.h"
#include "tools/car_data_writer.h"
#include "tools/car_params.h"
#include "tools/default_engines.h"
#include "tools/default_human.h"
#include "tools/default_skins.h"
#include "vehicle/car_engine.h"
#include "vehicle/engine_record.h"

namespace {

// The data is generated into the scratch folder itself, so that it is found
// under the very paths the program checks at start-up.
class DefaultDataTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        skinError = WriteDefaultSkins(".");
        engineError = WriteDefaultEngineFiles(".");
        humanError = WriteHumanFile(".");
    }
    static const char *skinError;
    static const char *engineError;
    static const char *humanError;
};

const char *DefaultDataTest::skinError = nullptr;
const char *DefaultDataTest::engineError = nullptr;
const char *DefaultDataTest::humanError = nullptr;

std::string SkinPath(const char *code)
{
    return std::string("data\\skins\\") + code + "_DEFAULT.jpg";
}

TEST_F(DefaultDataTest, EverySkinDecodesAtItsSize)
{
    ASSERT_EQ(skinError, nullptr) << skinError;
    std::vector<const char *> codes = {"HEL"};
    for (const CarModelInfo &car : CarTable) {
        codes.push_back(car.code);
    }
    std::set<std::vector<uint8_t>> samples;
    for (const char *code : codes) {
        SCOPED_TRACE(code);
        const std::string path = SkinPath(code);
        EXPECT_TRUE(FileExists(path.c_str()));
        JpegImage image;
        ASSERT_TRUE(ReadJpegFile(path.c_str(), &image));
        const int side = std::strcmp(code, "HEL") == 0 ? HelmetSkinSide : CarSkinSide;
        EXPECT_EQ(image.width, side);
        EXPECT_EQ(image.height, side);
        // A coarse sample of each picture: no two skins look the same.
        std::vector<uint8_t> sample;
        for (int y = 0; y < side; y += side / 16) {
            for (int x = 0; x < side; x += side / 16) {
                sample.push_back(image.pixels[(static_cast<size_t>(y) * side + x) * 3] / 32);
            }
        }
        samples.insert(sample);
    }
    EXPECT_EQ(samples.size(), codes.size());
}

// Checks an engine's waves against what the sound code and editor accept.
void CheckWaves(const EngineRecord &engine, bool turbo, bool starter)
{
    const uint32_t limits[EngineWaveCount] = {4096, 32768, 0, 32768, 32768, 32768, 8192, 32768};
    for (int slot = 0; slot < EngineWaveCount; ++slot) {
        SCOPED_TRACE(slot);
        const EngineWave &wave = engine.waves[slot];
        const bool wanted = slot != WaveUnused && (turbo || (slot != WaveTurbo && slot != WaveDumpValve)) &&
                            (starter || slot != WaveStarter);
        if (!wanted) {
            EXPECT_EQ(wave.sampleCount, 0u);
            continue;
        }
        ASSERT_GT(wave.sampleCount, 1u);
        EXPECT_LE(wave.sampleCount, limits[slot]);
        float peak = 0.0f;
        for (uint32_t i = 0; i < wave.sampleCount; ++i) {
            peak = std::max(peak, std::fabs(wave.samples[i]));
        }
        EXPECT_GT(peak, 5000.0f);
        EXPECT_LE(peak, 32767.0f);
    }
}

TEST_F(DefaultDataTest, EveryCarHasItsOwnEngineSound)
{
    ASSERT_EQ(engineError, nullptr) << engineError;
    std::set<std::tuple<int, int, float, float, float, float, uint32_t>> engines;
    for (int car = 0; car < CarModelCount; ++car) {
        const char *code = CarTable[car].code;
        SCOPED_TRACE(code);
        const std::string path = std::string("data\\engine\\") + code + "_default.eng";
        EXPECT_TRUE(FileExists(path.c_str()));
        EngineRecord mechanical{};
        EngineRecord sound{};
        sound.soundParams.SetDefaults();
        ASSERT_EQ(ReadEngineFile(mechanical, path.c_str(), nullptr, sound), 1);

        // The exhaust model runs at most 8 pipes per bank.
        EXPECT_GE(mechanical.cylinders, 4);
        EXPECT_LE(mechanical.cylinders, mechanical.layout == 0 ? 8 : 16);
        if (TurboCarsMask & (1u << car)) {
            EXPECT_TRUE(mechanical.flags & EngineFlagTurbo);
        }
        if (mechanical.flags & EngineFlagTurbo) {
            EXPECT_GT(mechanical.boostReference, 0.0f);
        }
        // The engine-sound file describes the same engine as the car data:
        // both are written from the generator's car table.
        CarParams params;
        ASSERT_TRUE(BuildCarParams(car, &params));
        EngineFigures expected{};
        FillEngineFigures(params.engine, &expected);
        EXPECT_EQ(mechanical.flags, expected.flags);
        EXPECT_EQ(mechanical.displacement, expected.displacement);
        EXPECT_EQ(mechanical.cylinders, expected.cylinders);
        EXPECT_EQ(mechanical.layout, expected.layout);
        EXPECT_EQ(mechanical.boostReference, expected.boostReference);
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(mechanical.figures[i], expected.figures[i]) << "figure " << i + 2;
        }
        // The figures follow the engine record's order: the rev limit (rad/s)
        // lands in maxSpeed, not in a factor.
        CarEngine engine{};
        engine.Clear();
        engine.SetDefaults();
        ApplyEngineFigures(mechanical, engine);
        EXPECT_EQ(engine.maxSpeed, params.engine.maxSpeed);
        EXPECT_STREQ(sound.soundParams.name, "");
        // The formula class (FCR) has no starter.
        CheckWaves(sound, mechanical.flags & EngineFlagTurbo, std::string(code) != "FCR");
        engines.insert({mechanical.cylinders, mechanical.layout, mechanical.displacement,
                        sound.soundParams.Word(8), sound.soundParams.Word(30), sound.soundParams.Word(12),
                        sound.waves[WaveExhaustPulse].sampleCount});
        mechanical.FreeWaves(true);
        sound.FreeWaves(true);
    }
    EXPECT_EQ(engines.size(), static_cast<size_t>(CarModelCount));
}

TEST_F(DefaultDataTest, HumanFigureLoads)
{
    ASSERT_EQ(humanError, nullptr) << humanError;
    ASSERT_EQ(Humans.Load(nullptr), 1);
    ASSERT_EQ(Humans.modelCount, 1);
    const CharacterModel &model = Humans.models[0];
    const int bodies = model.WeightedJointCount();
    EXPECT_EQ(bodies, MinWeightedJoints);

    // The head is the first joint (the driver's eye is taken from it) and
    // the highest point of the seated figure.
    for (uint32_t i = 1; i < model.jointCount; ++i) {
        EXPECT_GT(model.joints[0].position[2], model.joints[i].position[2]) << "joint " << i;
    }
    // Clip slot 0 and the block hold the standing pose, one key per body.
    ASSERT_EQ(model.clips[0].trackCount, 1);
    EXPECT_GT(model.clips[0].tracks[0].keys[0].position.z, 65536 * 3 / 2);
    ASSERT_EQ(model.blockCount, 1u);

    // The mesh: a box per body, every corner bound to an existing body.
    ASSERT_EQ(Humans.bodyPartCount, 1);
    const BodyPart &part = Humans.bodyParts[0];
    EXPECT_EQ(part.modelIndex, 0u);
    EXPECT_EQ(part.flags & (DriverChoosable | DriverWorldFigure), DriverChoosable | DriverWorldFigure);
    ASSERT_EQ(part.object.pointCount, bodies * 8);
    EXPECT_EQ(part.object.triangleCount, bodies * 12);
    for (int i = 0; i < part.object.pointCount; ++i) {
        const ObjectPoint &point = part.object.points[i];
        EXPECT_EQ(point.bone, i / 8);
        EXPECT_LT(std::abs(point.x), 65536);
        EXPECT_LT(std::abs(point.y), 65536 * 3 / 2);
    }
    Humans.Free();
}

}  // namespace
