#include <algorithm>
#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>

#include "core/settings.h"
#include "vehicle/car_colours.h"
#include "vehicle/car_file_choice.h"
#include "vehicle/setup_file.h"

namespace {

CarSetup SavedSetup()
{
    CarSetup s{};
    s.flags = 0x80;
    s.maxLock = 20;
    s.brakeBalance = 60;
    s.centreViscousTorque = 1;
    s.frontTorqueSplit = 50;
    s.tcSlip = 20;
    s.tcMinSpeed = 5;
    for (CarSetupAxle &a : s.axles) {
        a.viscousTorque = 1;
        a.lockPower = a.lockCoast = 10;
        a.pressureLeft = a.pressureRight = 170;
    }
    return s;
}

CarColours SavedColours()
{
    CarColours c{};
    std::strcpy(c.skin, "BLUE");
    for (Colour &colour : c.body)
        colour = Colour{20, 30, 150, 0};
    for (Colour &colour : c.rim)
        colour = Colour{100, 100, 100, 1};
    return c;
}

// One kind of choice: its two settings, its loader and the record its file holds.
struct Kind {
    const char *label;
    int *index;
    char *name;
    int (*load)(void *out, const char *code);
    size_t size;
    const void *saved;
};

class CarFileChoiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories("data/setups");
        std::filesystem::create_directories("data/colours");
        ASSERT_EQ(WriteSetupFile(setup, "data\\setups\\XFG_Race.set"), 1);
        ASSERT_EQ(WriteColourFile(colours, "data\\colours\\XFG_Race.col"), 1);
    }
    void TearDown() override
    {
        SetupIndex = ColoursIndex = 0;
        std::memset(SetupName, 0, sizeof(SetupName));
        std::memset(ColoursName, 0, sizeof(ColoursName));
    }

    const CarSetup setup = SavedSetup();
    const CarColours colours = SavedColours();
    const Kind kinds[2] = {
        {"set-up", &SetupIndex, SetupName,
         [](void *out, const char *code) { return LoadCarSetupFile(static_cast<CarSetup *>(out), code); },
         sizeof(CarSetup), &setup},
        {"colours", &ColoursIndex, ColoursName,
         [](void *out, const char *code) { return LoadCarColourFile(static_cast<CarColours *>(out), code); },
         sizeof(CarColours), &colours},
    };
};

TEST_F(CarFileChoiceTest, ChoicesAndFallBack) {
    struct Case {
        const char *what;
        int index;
        const char *name;
        const char *code;
        int result;
        int indexAfter;
        bool nameKept;
        bool loaded;      // else the record is zero-filled
    };
    const Case cases[] = {
        {"table entry: no file is opened", 2, "Race", "XFG", 0, 2, false, false},
        {"named file", -1, "Race", "XFG", 0, -1, true, true},
        {"named file missing", -1, "Missing", "XFG", 1, 0, false, false},
        {"no car code", -1, "Race", nullptr, 0, 0, false, false},
        {"name fills the field", -1, "RaceRaceRaceRace", "XFG", 1, 0, false, false},
    };
    for (const Kind &kind : kinds) {
        for (const Case &c : cases) {
            *kind.index = c.index;
            std::memcpy(kind.name, c.name, std::min<size_t>(std::strlen(c.name) + 1, 16));
            unsigned char out[sizeof(CarSetup) + 1];  // one guard byte past the larger record
            std::memset(out, 0xAB, sizeof(out));
            EXPECT_EQ(kind.load(out, c.code), c.result) << kind.label << ": " << c.what;
            EXPECT_EQ(*kind.index, c.indexAfter) << kind.label << ": " << c.what;
            if (c.nameKept) {
                EXPECT_EQ(std::strncmp(kind.name, c.name, 16), 0) << kind.label << ": " << c.what;
            } else {
                EXPECT_EQ(kind.name[0], 0) << kind.label << ": " << c.what;
            }
            unsigned char zeros[sizeof(CarSetup)] = {};
            const void *expected = c.loaded ? kind.saved : zeros;
            EXPECT_EQ(std::memcmp(out, expected, kind.size), 0) << kind.label << ": " << c.what;
            EXPECT_EQ(out[kind.size], 0xAB) << kind.label << ": " << c.what;
        }
    }
}

}  // namespace
