#include "app/simulation_services.h"

#include "app/car_sound_services.h"
#include "app/music_services.h"
#include "app/race_object_services.h"
#include "app/hud_services.h"
#include "app/replay_services.h"
#include "app/session_services.h"

#include "audio/car_engine_sound.h"
#include "audio/interface_sound.h"
#include "audio/sound_links.h"
#include "audio/sound_output.h"
#include "core/colour.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "race/session_frame.h"
#include "render/model_node.h"
#include "render/number_plates.h"
#include "scene/hud.h"
#include "scene/rim_models.h"
#include "scene/wheel_octagons.h"
#include "ui/message_lines.h"
#include "ui/text_box.h"
#include "vehicle/car_data_recording.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/race_hooks.h"
#include "world/duplicator_object.h"
#include "world/layout.h"
#include "world/map_squares.h"
#include "world/path.h"
#include "world/path_follower.h"
#include "world/world.h"
#include "world/world_messages.h"
#include "world/zone_object.h"

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

int LoadedWorldLowestSpeedLimit()
{
    if (CurrentWorld == nullptr || WorldIsLoading(CurrentWorld)) {
        return 255;
    }
    return CurrentWorld->GetLowestSpeedLimit();
}

// The pit lane's view of the loaded world: speed-limit zones, pit places
// and the path.
const World *LoadedWorld()
{
    return CurrentWorld != nullptr && !WorldIsLoading(CurrentWorld) ? CurrentWorld : nullptr;
}

const ZoneObject *LoadedWorldSpeedLimitZone(int32_t x, int32_t y)
{
    const World *world = LoadedWorld();
    return world != nullptr ? world->FindSpeedLimitZone(x, y) : nullptr;
}

int ZoneSpeedLimit(const ZoneObject *zone)
{
    return zone->speedLimit;
}

int LoadedWorldPitPlaceCount()
{
    const World *world = LoadedWorld();
    return world != nullptr ? world->pitPlaceCount : 0;
}

int LoadedWorldPitPlace(int index, int32_t *x, int32_t *y)
{
    const World *world = LoadedWorld();
    if (world == nullptr || index < 0 || index >= world->pitPlaceCount || index >= MaxPositionObjects ||
        world->pitPlaces[index] == nullptr) {
        return 0;
    }
    int32_t position[3];
    float heading = 0.0f;
    world->pitPlaces[index]->GetPosition(position, heading);
    *x = position[0];
    *y = position[1];
    return 1;
}

int LoadedWorldPathNodeCount()
{
    const World *world = LoadedWorld();
    return world != nullptr && world->currentPath != nullptr ? world->currentPath->nodeCount : 0;
}

int LoadedWorldPathIsClosed()
{
    const World *world = LoadedWorld();
    return world != nullptr && world->currentPath != nullptr && (world->currentPath->flags & PathClosedLoop) != 0;
}

// The cross-section at fraction t between path node `node` and the node
// after it.
int LoadedWorldPathSection(int node, float t, PathSection *out)
{
    const World *world = LoadedWorld();
    if (world == nullptr || world->currentPath == nullptr) {
        return 0;
    }
    const Path &path = *world->currentPath;
    if (node < 0 || node >= path.nodeCount) {
        return 0;
    }
    const PathNode section(path.nodes[node], path.nodes[(node + 1) % path.nodeCount], t, 0);
    for (int k = 0; k < 3; ++k) {
        out->position[k] = section.position[k];
        out->direction[k] = section.direction[k];
    }
    out->leftEdge = section.leftEdge;
    out->rightEdge = section.rightEdge;
    out->outerLeft = section.outerLeft;
    out->outerRight = section.outerRight;
    return 1;
}

int CurrentGameState()
{
    return GameState;
}

int SessionIsOnline()
{
    return OnlineFlag != 0;
}

// The cars' simple wheel meshes; no add-pass white material is made yet,
// so the part has none.
RenderObject *BuildCarWheelMesh(float tyreWidth, float radius)
{
    return BuildWheelOctagonMesh(tyreWidth, radius, nullptr);
}

}  // namespace

void RegisterSimulationServices()
{
    SetWorldMessagePrinter(PrintWorldMessage);
    VehicleRaceHooks.printWarning = PrintVehicleWarning;
    RaceServices.printMessage = PrintWorldMessage;
    CarRecording.printInfo = PrintVehicleInfo;
    RegisterCarDataRecorder();
    RegisterPathFollowerFactory();
    // The scene does not keep tyre marks or sprites yet: the empty
    // TyreMarks entries drop them.
    SetSessionExistsCheck(GameSessionExists);
    RaceServices.lowestSpeedLimit = LoadedWorldLowestSpeedLimit;
    RaceServices.findSpeedLimitZone = LoadedWorldSpeedLimitZone;
    RaceServices.zoneSpeedLimit = ZoneSpeedLimit;
    RaceServices.pitPlaceCount = LoadedWorldPitPlaceCount;
    RaceServices.pitPlacePosition = LoadedWorldPitPlace;
    RaceServices.pathNodeCount = LoadedWorldPathNodeCount;
    RaceServices.pathIsClosed = LoadedWorldPathIsClosed;
    RaceServices.pathSection = LoadedWorldPathSection;
    RaceServices.gameState = CurrentGameState;
    RaceServices.isOnline = SessionIsOnline;
    RaceServices.playInterfaceSound = PlayInterfaceSound;
    CarServices.getNumberPlate = GetNumberPlate;
    CarServices.releaseNumberPlate = ReleaseNumberPlate;
    CarServices.createModelNode = CreateModelNode;
    CarServices.deleteModelNode = DeleteModelNode;
    CarServices.buildRimMeshes = BuildRimMeshes;
    CarServices.buildTyreMesh = BuildTyreMesh;
    CarServices.buildWheelOctagonMesh = BuildCarWheelMesh;
    // Layouts: the refusal sound and the lesson flag. Game packets stay with
    // the local hand-off until the network session exists; there is no
    // InSim link or race setup yet to tell.
    LayoutServices layout = GetLayoutServices();
    layout.playInterfaceSound = PlayInterfaceSound;
    layout.lessonActive = RaceLessonActive;
    SetLayoutServices(layout);
    // Sound: the world's loop sound, and the sound layer's file texts in a
    // box over their page.
    RegisterLoopSoundHooks();
    SetSoundTextLink({nullptr, ShowTextBox2});
    // The car sound fades out over the last ticks of a race vote's countdown.
    // Interface sounds keep quiet while a seek runs and while the HUD shows
    // nothing.
    SetSoundSessionLink({[] { return static_cast<int>(SeekActive); }, [] { return HudShown; },
                         [] { return static_cast<int>(VoteCountdown); }, nullptr});
    RegisterCarEngineSound();
    RegisterRaceObjectServices();
    RegisterSessionServices();
    RegisterReplayServices();
    RegisterHudServices();
    // The cars heard in the session: the mixer's slots, view and listener.
    RegisterCarSoundServices();
    RegisterMusicServices();
}
