#pragma once

// What the fuzz targets share: a scratch folder per process that the target
// works in (the readers name files relative to the run folder, as the
// program does), input files written into it, and the default data set made
// there once per process by the project's own generator.

#include <cstddef>
#include <cstdint>
#include <string>

class CarObject;
class World;

// Moves the process into its scratch folder (made on first use under
// $TMPDIR, removed at exit) and silences message boxes. Returns its path.
const std::string &FuzzScratch();

// Writes the bytes to the path relative to the scratch folder (folders made
// as needed; backslashes in the path are folder separators). Returns the
// path as given.
const char *FuzzWriteFile(const char *path, const uint8_t *data, size_t size);
// Removes the file of FuzzWriteFile.
void FuzzRemoveFile(const char *path);

// Writes the default data set into the scratch folder once per process, or
// copies it from $KZV_FUZZ_DATA (a run folder kzv_datagen wrote) when set.
void FuzzMakeDefaultData();

// What the program sets up before it loads cars or tracks, once per process:
// the default data set, the trig and tyre tables, the body objects read as
// at start-up and the program's own simulation services.
void FuzzStartSimulation();

// The default site loaded to its end as the current world, once per process
// (after FuzzStartSimulation). Returns it.
World *FuzzDefaultWorld();

// A fresh car of the first car model from the default data, loaded as the
// program loads one; null when it does not load. The caller deletes it.
CarObject *FuzzNewCar();

// The layout state back to none on the default site: every layout object
// and circle removed, the open layout closed, the name, laps and route reset.
void FuzzResetLayout();

// A fresh car (FuzzNewCar) standing on start place 0 of the default site,
// in a physics world of its own while it lives; the car and the world go with
// it. Targets of received records apply each record to it and step it.
class FuzzCarOnTrack {
public:
    FuzzCarOnTrack();
    ~FuzzCarOnTrack();
    FuzzCarOnTrack(const FuzzCarOnTrack &) = delete;
    FuzzCarOnTrack &operator=(const FuzzCarOnTrack &) = delete;

    CarObject *car = nullptr;  // null when the car did not load
    // Steps the physics world by ticks of 0.01 s.
    void Step(int ticks);

private:
    struct PhysicsWorld *physics = nullptr;
};

// The renderer and its graphics started once per process on a recording
// device (640 x 480, nothing shown), for targets that load textures. Each
// call clears the device's log, so that a long run does not grow it.
class RecordingDevice;
RecordingDevice *FuzzRecordingGraphics();

// Splits an input at the first occurrence of FuzzSeparator: the part before
// it and the part after it (the whole input and nothing when it has none).
// Returns true when the separator was found.
// Targets whose reader takes two files (the world and its light file) read
// them from one input this way.
constexpr char FuzzSeparator[] = "\n--KZV-FUZZ-SPLIT--\n";
bool FuzzSplit(const uint8_t *data, size_t size, const uint8_t **first, size_t *firstSize,
               const uint8_t **second, size_t *secondSize);
