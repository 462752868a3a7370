#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <unistd.h>

#include "app/simulation_services.h"
#include "core/car_table.h"
#include "core/fixed_math.h"
#include "platform/recording_device.h"
#include "platform/window.h"
#include "render/object_file.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/screen_modes.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_object.h"
#include "vehicle/physics_world.h"
#include "vehicle/tyre_curves.h"
#include "world/layout.h"
#include "world/sphere_grid.h"
#include "world/track_sites.h"
#include "world/world.h"
#include "world/world_loader.h"
#include "tools/body_objects.h"
#include "tools/car_data_writer.h"
#include "tools/default_engines.h"
#include "tools/default_human.h"
#include "tools/default_skins.h"
#include "tools/default_textures.h"
#include "tools/default_track.h"
#include "tools/font_file.h"

namespace fs = std::filesystem;

namespace {

std::string &ScratchPath()
{
    static std::string path;
    return path;
}

void RemoveScratch()
{
    std::error_code ec;
    if (!ScratchPath().empty()) {
        fs::current_path(fs::temp_directory_path(ec), ec);
        fs::remove_all(ScratchPath(), ec);
    }
}

PlatformAnswer QuietBox(const char *, const char *, PlatformMessageBoxKind kind)
{
    return kind == PlatformBoxQuestion ? PlatformAnswerNo : PlatformAnswerOk;
}

std::string LocalPath(const char *path)
{
    std::string local = path;
    for (char &c : local) {
        if (c == '\\') {
            c = '/';
        }
    }
    return local;
}

}  // namespace

const std::string &FuzzScratch()
{
    std::string &path = ScratchPath();
    if (path.empty()) {
        std::error_code ec;
        const fs::path folder = fs::temp_directory_path(ec) / ("kzv_fuzz_" + std::to_string(getpid()));
        fs::remove_all(folder, ec);
        // The folders a program's data folder has from its installation.
        for (const char *sub : {"misc", "setups", "colours", "layout", "training", "script"}) {
            fs::create_directories(folder / "data" / sub, ec);
        }
        fs::current_path(folder, ec);
        if (ec) {
            std::fprintf(stderr, "fuzz: cannot work in %s: %s\n", folder.c_str(), ec.message().c_str());
            std::abort();
        }
        path = folder.string();
        std::atexit(RemoveScratch);
        PlatformSetMessageBoxHandler(QuietBox);
    }
    return path;
}

const char *FuzzWriteFile(const char *path, const uint8_t *data, size_t size)
{
    FuzzScratch();
    const fs::path local = LocalPath(path);
    std::error_code ec;
    if (local.has_parent_path()) {
        fs::create_directories(local.parent_path(), ec);
    }
    FILE *file = std::fopen(local.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "fuzz: cannot write %s\n", local.c_str());
        std::abort();
    }
    if (size) {
        std::fwrite(data, 1, size, file);
    }
    std::fclose(file);
    return path;
}

void FuzzRemoveFile(const char *path)
{
    std::error_code ec;
    fs::remove(LocalPath(path), ec);
}

void FuzzMakeDefaultData()
{
    static bool made = false;
    if (made) {
        return;
    }
    made = true;
    const char *run = FuzzScratch().c_str();
    // A data set written before (tools/fuzz_run.sh passes the one of the
    // seeds) is copied: writing it anew takes seconds under the sanitizers.
    if (const char *ready = std::getenv("KZV_FUZZ_DATA")) {
        std::error_code ec;
        fs::copy(fs::path(ready) / "data", fs::path(run) / "data",
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
        if (ec) {
            std::fprintf(stderr, "fuzz: cannot copy %s/data: %s\n", ready, ec.message().c_str());
            std::abort();
        }
        return;
    }
    const char *(*writers[])(const char *) = {WriteFontFile,     WriteDefaultSkins, WriteDefaultEngineFiles,
                                              WriteHumanFile,    WriteBodyObjects,  WriteCarDataFiles,
                                              WriteDefaultTrack, WriteDefaultLayout, WriteDefaultTextures};
    for (auto writer : writers) {
        if (const char *error = writer(run)) {
            std::fprintf(stderr, "fuzz: default data: %s\n", error);
            std::abort();
        }
    }
}

void FuzzStartSimulation()
{
    static bool started = false;
    if (started) {
        return;
    }
    started = true;
    FuzzMakeDefaultData();
    BuildTyreCurves();
    BuildSphereGrid();
    BuildTrigTables();
    char path[64];
    for (int i = 0; i < BodyCodeCount; ++i) {
        std::snprintf(path, sizeof(path), "data\\veh\\%s.vob", BodyCodes[i]);
        Object3D *object = new Object3D();
        InitObject3D(object);
        BodyObjects[i] = object;
        if (!ReadObjectFile(object, nullptr, path, 0, nullptr)) {
            std::fprintf(stderr, "fuzz: cannot read %s\n", path);
            std::abort();
        }
    }
    RegisterSimulationServices();
}

namespace {

uint32_t FakeLoadClock()
{
    static uint32_t now = 0;
    return now += 1;
}

}  // namespace

World *FuzzDefaultWorld()
{
    static World *world = nullptr;
    if (world) {
        return world;
    }
    FuzzStartSimulation();
    world = WorldCreate();
    const TrackSite &site = SiteTable[DefaultTrackSite];
    SetLoadClock(FakeLoadClock);
    if (WorldOpen(world, site.name, site.code, 0, 0, 1, 0, 0) == 1) {
        while (!WorldLoadStep(world)) {
        }
    }
    SetLoadClock(nullptr);
    if (WorldLoadFailed(world) || CurrentWorld != world) {
        std::fprintf(stderr, "fuzz: the default site does not load\n");
        std::abort();
    }
    return world;
}

CarObject *FuzzNewCar()
{
    FuzzStartSimulation();
    CarObject *car = new CarObject();
    CarLoadArguments args;
    if (LoadCarDataFile(car, CarTable[0].code, args) != 1) {
        delete car;
        return nullptr;
    }
    return car;
}

void FuzzResetLayout()
{
    RemoveAllLayoutObjects();
    if (LayoutStream.file) {
        LayoutStream.Close();
    }
    LayoutStream = DataStream{};
    LayoutCircles.count = 0;
    ResetLayoutRoute();
    LayoutRecordsToSend = 0;
    LayoutLoaded = 0;
    LayoutName[0] = 0;
    LayoutLaps = 1;
    LayoutScaling = 0;
    JoiningCarPlacement = 0;
}

FuzzCarOnTrack::FuzzCarOnTrack()
{
    World *world = FuzzDefaultWorld();
    car = FuzzNewCar();
    if (!car) {
        return;
    }
    int32_t position[3] = {};
    float heading = 0.0f;
    GetStartPosition(world, position, heading, 0, 0, 1, nullptr);
    car->position = {position[0], position[1], position[2]};
    car->Reset(heading, 0, 1);
    physics = new PhysicsWorld();
    physics->Add(car);
}

FuzzCarOnTrack::~FuzzCarOnTrack()
{
    delete physics;
    delete car;
}

void FuzzCarOnTrack::Step(int ticks)
{
    if (!physics) {
        return;
    }
    for (int n = 0; n < ticks; ++n) {
        physics->Step(n % 4 == 3);
    }
}

bool FuzzSplit(const uint8_t *data, size_t size, const uint8_t **first, size_t *firstSize, const uint8_t **second,
               size_t *secondSize)
{
    const size_t length = sizeof FuzzSeparator - 1;
    *first = data;
    *firstSize = size;
    *second = data + size;
    *secondSize = 0;
    for (size_t n = 0; size >= length && n <= size - length; ++n) {
        if (std::memcmp(data + n, FuzzSeparator, length) == 0) {
            *firstSize = n;
            *second = data + n + length;
            *secondSize = size - n - length;
            return true;
        }
    }
    return false;
}

RecordingDevice *FuzzRecordingGraphics()
{
    static int width = 640;
    static int height = 480;
    static RecordingDevice *device = [] {
        FuzzScratch();
        auto *made = new RecordingDevice;
        RenderShellLink link{};
        link.screenWidth = &width;
        link.screenHeight = &height;
        SetRenderShellLink(link);
        if (!UseGraphicsDevice(made) || StartRenderer(1, -1, 0) != 0 || StartGraphics() != 1) {
            std::fprintf(stderr, "fuzz: the recording device did not start\n");
            std::abort();
        }
        return made;
    }();
    device->ClearLog();
    return device;
}
