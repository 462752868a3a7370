#include "core/keyboard_steer_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/settings.h"

namespace {

namespace fs = std::filesystem;

float *const SteerSettings[] = {&ThrBrkRate,  &KbSteerRate, &KbReturnRate,          &KbFastMul,
                                &KbSlowMul,   &KbLimitMul,  &SpeedSteerReductionKb, &HalfReduceSpeedKb};

std::vector<float> CurrentSettings()
{
    std::vector<float> values;
    for (float *value : SteerSettings) {
        values.push_back(*value);
    }
    return values;
}

void SetSettings(const std::vector<float> &values)
{
    for (size_t i = 0; i < values.size(); ++i) {
        *SteerSettings[i] = values[i];
    }
}

std::vector<char> ReadBytes(const char *path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const char *path, const std::vector<char> &bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class KeyboardSteerFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::error_code ec;
        fs::remove_all("data", ec);
        fs::create_directories("data/misc");
    }
};

TEST_F(KeyboardSteerFileTest, SavedSettingsComeBackBitForBit)
{
    const std::vector<float> saved = {2.123457f, 0.1f, 0.3333333f, 2.9999998f, 0.0f, 0.41f, 0.7f, 199.99f};
    SetSettings(saved);
    ASSERT_EQ(WriteKeyboardSteerFile("mine"), 1);
    EXPECT_EQ(ReadBytes("data/misc/mine.kbs").size(), 8u + 8 * 4);

    SetSettings({5, 0.5f, 0.5f, 2, 0.5f, 0.8f, 1, 50});
    ASSERT_EQ(ReadKeyboardSteerFile("mine"), 1);
    const std::vector<float> loaded = CurrentSettings();
    EXPECT_EQ(std::memcmp(loaded.data(), saved.data(), sizeof(float) * saved.size()), 0);
}

TEST_F(KeyboardSteerFileTest, ValuesAreClampedOnLoad)
{
    SetSettings({5, 0.5f, 0.5f, 2, 0.5f, 5.0f, 1, 500});
    ASSERT_EQ(WriteKeyboardSteerFile("wild"), 1);
    ASSERT_EQ(ReadKeyboardSteerFile("wild"), 1);
    EXPECT_EQ(KbLimitMul, 1.2f);
    EXPECT_EQ(HalfReduceSpeedKb, 200.0f);
}

TEST_F(KeyboardSteerFileTest, RefusedFilesLeaveTheSettings)
{
    const std::vector<float> start = {5, 0.5f, 0.5f, 2, 0.5f, 0.8f, 1, 50};
    SetSettings({3, 0.2f, 0.2f, 1.5f, 0.2f, 0.5f, 0.5f, 20});
    ASSERT_EQ(WriteKeyboardSteerFile("good"), 1);
    std::vector<char> version1 = ReadBytes("data/misc/good.kbs");
    version1[7] = 1;
    WriteBytes("data/misc/v1.kbs", version1);
    std::vector<char> truncated = ReadBytes("data/misc/good.kbs");
    truncated.resize(20);
    WriteBytes("data/misc/short.kbs", truncated);

    for (const char *name : {"v1", "short", "missing", "../good", "", "a:b"}) {
        SetSettings(start);
        EXPECT_EQ(ReadKeyboardSteerFile(name), 0) << name;
        EXPECT_EQ(CurrentSettings(), start) << name;
    }
    EXPECT_EQ(WriteKeyboardSteerFile("../escape"), 0);
    EXPECT_FALSE(fs::exists("data/escape.kbs"));
}

}  // namespace
