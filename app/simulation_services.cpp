#include "app/simulation_services.h"

#include "core/colour.h"
#include "race/game_state.h"
#include "ui/message_lines.h"
#include "vehicle/car_data_recording.h"
#include "vehicle/race_hooks.h"
#include "world/map_squares.h"
#include "world/path_follower.h"
#include "world/world_messages.h"

namespace {

void PrintWorldMessage(const char *text, int colour)
{
    if (colour < 0 || colour >= MessageColourCount) {
        colour = ColourLightGrey;
    }
    PrintMessage(text, &MessageColours[colour]);
}

void PrintVehicleWarning(const char *text)
{
    PrintMessage(text, &MessageColours[ColourSalmon]);
}

void PrintVehicleInfo(const char *text)
{
    PrintMessage(text, &MessageColours[ColourLightGrey]);
}

int GameSessionExists()
{
    return GameSessionPtr != nullptr;
}

}  // namespace

void RegisterSimulationServices()
{
    SetWorldMessagePrinter(PrintWorldMessage);
    VehicleRaceHooks.printWarning = PrintVehicleWarning;
    CarRecording.printInfo = PrintVehicleInfo;
    RegisterCarDataRecorder();
    RegisterPathFollowerFactory();
    SetSessionExistsCheck(GameSessionExists);
}
