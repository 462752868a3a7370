// The player file data\misc\<player name>.ply, read at start-up. The options
// it sets are put back to their values at the first input after each run
// (a failed read changes nothing, so a run must not see the last one's).
#include <cstdint>
#include <cstring>

#include "core/config_file.h"
#include "core/player_file.h"
#include "core/settings.h"
#include "fuzz/fuzz_support.h"

namespace {

struct PlayerState {
    uint32_t spareWord, animation, speedUnit, pressureUnit;
    uint8_t bytes[9];
    uint8_t lessons[PlayerLessonsSize];
    char skin[PlayerSkinSize];
    PlayerCarRecord cars[PlayerCarRecordCount];
};

uint8_t *const OptionBytes[9] = {&HornType,        &SwapSide,          &ShifterMode,
                                 &MouseAutoGears,  &AutoClutchOther,   &AutoClutchType1,
                                 &ShifterAutoClutch, &MouseBrakeHelp,  &WheelBrakeHelp};

PlayerState Save()
{
    PlayerState s;
    s.spareWord = PlayerSpareWord;
    s.animation = DriverAnimationSetting;
    s.speedUnit = SpeedUnitKmh;
    s.pressureUnit = PressureUnitBar;
    for (int n = 0; n < 9; ++n) {
        s.bytes[n] = *OptionBytes[n];
    }
    std::memcpy(s.lessons, PlayerLessons, sizeof s.lessons);
    std::memcpy(s.skin, PlayerDefaultSkin, sizeof s.skin);
    std::memcpy(s.cars, PlayerCarRecords, sizeof s.cars);
    return s;
}

void Restore(const PlayerState &s)
{
    PlayerSpareWord = s.spareWord;
    DriverAnimationSetting = s.animation;
    SpeedUnitKmh = s.speedUnit;
    PressureUnitBar = s.pressureUnit;
    for (int n = 0; n < 9; ++n) {
        *OptionBytes[n] = s.bytes[n];
    }
    std::memcpy(PlayerLessons, s.lessons, sizeof s.lessons);
    std::memcpy(PlayerDefaultSkin, s.skin, sizeof s.skin);
    std::memcpy(PlayerCarRecords, s.cars, sizeof s.cars);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const PlayerState initial = [] {
        SetConfigDefaults();
        SetPlayerDefaults();
        return Save();
    }();
    SetConfigDefaults();
    Restore(initial);
    std::strcpy(PlayerName.name, "fuzz");
    FuzzWriteFile("data\\misc\\fuzz.ply", data, size);
    ReadPlayerFile(1);
    GetCurrentCarRecord();
    FuzzRemoveFile("data\\misc\\fuzz.ply");
    SetConfigDefaults();
    Restore(initial);
    return 0;
}
