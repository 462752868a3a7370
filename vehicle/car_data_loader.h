#pragma once

#include <cstddef>
#include <cstdint>

class CarObject;
struct CarColours;
struct CarSetup;
struct DataStream;
struct DriverClip;

// Reading a car from its car data (data\veh\<code>.veh, written by
// WriteCarDataFile): the loader, its opener for files and memory images, and
// the car creation of the set-up and colour screens.

constexpr int OldestCarDataVersion = 248;

// The four built-in body families. A car of any other family gets
// CarFlagUnknownFamily. The child adjustment of the body object (kind-10
// children) applies to every family but the first and the third of these.
constexpr const char *BuiltInFamilyCodes[4] = {"ZH", "FM", "GT", "SR"};

constexpr const char *UsingDefaultSettings = "Using default settings";
constexpr const char *UsingDefaultColours = "Using default colour config";

// What the caller asks of a load.
struct CarLoadArguments {
    uint32_t options = 0;           // bit 0: the mirrored car
    int32_t animationIndex = -1;    // driver animation set; -1 no driver figure
    int32_t setupIndex = 0;         // entry of the car's set-ups, or -1 for setupIn
    CarSetup *setupIn = nullptr;    // the caller's set-up (not owned by the car)
    int32_t colourIndex = 0;        // entry of the car's colours, or -1 for coloursIn
    CarColours *coloursIn = nullptr;
    uint32_t skinTime = 0;          // minutes, of the player's skin
    char plateText[8] = {};
    int headerOnly = 0;             // stop after the set-up ranges
};

// The short name of the car being loaded (three letters and a zero); the
// object reader names car-specific textures after it.
extern char CurrentCarName[4];
// Why the last load failed (a message text), or null after a load that
// succeeded.
extern const char *CarDataLoadError;

// Reads the car data after its header into an empty car. Returns 1, or 0 when
// the data is refused (the car is then to be destroyed; everything it read
// is owned by it). A header-only load stops after the set-up ranges with the
// set-up and colour tables, part names, positions and dashboard read.
int LoadCarData(CarObject *car, DataStream *stream, int version, const CarLoadArguments &args);

// The opener: the car data of the three-letter code from data\veh\<code>.veh,
// or from a memory image of a whole file (header included). Both check the
// id and the version (248..252) before calling LoadCarData.
int LoadCarDataFile(CarObject *car, const char *code, const CarLoadArguments &args);
int LoadCarDataImage(CarObject *car, const void *image, size_t length, const CarLoadArguments &args);

// A header-only car of the code (no world in use while it loads), or null
// when its data cannot be read.
CarObject *CreateCarFromFile(const char *code);

// The car's engine sound: the player's chosen sound or the car's default.
// Reads nothing while no engine-file reader is registered; never fails a load.
void LoadCarEngineSound(CarObject *car);
// The driver's steering clip and the passenger clips, when the human figures
// are loaded; otherwise the car's clips are freed.
void LoadDriverAnimations(CarObject *car);
// A clip instance of the set: null for the steering clip (kept by the car)
// and while no clip loader is registered.
DriverClip *LoadDriverClip(CarObject *car, int set, const char *name, int steering);
