#include "net/race_packet_handlers.h"

#include "net/game_packets.h"
#include "race/race_packets.h"

void RegisterRacePacketHandlers()
{
    SetGamePacketHandler(MP_WEAR, HandleWear);
    SetGamePacketHandler(MP_GAME_69, HandleLiveSettings);
    SetGamePacketHandler(MP_SPLIT_TIME, HandleSplitTime);
    SetGamePacketHandler(MP_LAP_TIME, HandleLapTime);
    SetGamePacketHandler(MP_TIME_PENALTY, HandleTimePenalty);
    SetGamePacketHandler(MP_PIT_STOP, HandlePitStop);
    SetGamePacketHandler(MP_PENALTY, HandlePenalty);
    SetGamePacketHandler(MP_CAR_PROGRESS, HandleCarProgress);
    SetGamePacketHandler(MP_GAME_75, HandlePitWork);
    SetGamePacketHandler(MP_GAME_76, HandlePitDone);
    SetGamePacketHandler(MP_GAME_77, HandlePitNotice);
    SetGamePacketHandler(MP_GAME_79, HandleResetRefused);
    SetGamePacketHandler(MP_CAR_RESET, HandleCarReset);
    SetGamePacketHandler(MP_SETTINGS, HandleSettings);
    SetGamePacketHandler(MP_CAR_SWITCHES, HandleCarSwitches);
    SetGamePacketHandler(MP_CAR_TEXT, HandleCarText);
    SetGamePacketHandler(MP_GAME_81, HandleCarState);
    SetReliablePacketHandler(MP_CAR_RESET, HandleCarResetRequest);
}
