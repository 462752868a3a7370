#pragma once

#include <cstdint>

class CarObject;
struct DataStream;
struct PlayerSlot;

// What a car-data recording's header takes from the race and the world. The
// layers above register the entries at start-up (tests install fakes); an
// empty entry gives an empty text, 0, or no message.
struct CarRecordingServices {
    // Four characters: the site code, the configuration digit and 'R' when
    // reversed.
    void (*trackCode)(char out[4]);
    // Distance of the current path's finish node, metres (0 without one).
    float (*lapLength)();
    // The slot's player name (with colour codes), its car model name and the
    // low byte of its option flags.
    const char *(*playerName)(const PlayerSlot *slot);
    const char *(*modelName)(const PlayerSlot *slot);
    uint8_t (*playerOptions)(const PlayerSlot *slot);
    // The world's name, its configuration's file name (with whether it is
    // driven reversed) and the light scheme's name.
    const char *(*worldName)();
    const char *(*configName)();
    int (*configReversed)();
    const char *(*lightSchemeName)();
    // An information message line.
    void (*printInfo)(const char *text);
};

extern CarRecordingServices CarRecording;

// Byte sizes of the recording file.
constexpr int RafHeaderSize = 1024;
constexpr int RafFrameSize = 192;
constexpr int RafWheelBlockSize = 32;
constexpr int RafCarBlockSize = 64;
constexpr int RafHeaderWheelSize = 128;
constexpr int CarInfoSize = 384;
constexpr int CarInfoWheelSize = 128;

// Makes StartCarDataRecording and FinishCarDataRecording write the real
// files: the program calls it once at start-up.
void RegisterCarDataRecorder();

// The recorder itself. Open: creates "data\raf\<rafName>.raf" and writes the
// header; 1, or 0 with a warning ("Output : Could not open file", "Output :
// Could not find car's driver"). Close: patches the frame count and the lap
// data into the header and closes the file; a write or close failure shows
// "Output : Could not write file" in place of the finishing message.
int OpenCarDataRecording(CarObject *car);
void CloseCarDataRecording(CarObject *car);
// Appends one frame of a running recording (one call in ten in the hot-lap
// check start mode).
void RecordCarDataFrame(CarObject *car);
// One wheel block of the header and of a frame (zeros for a wheel the car
// does not have); inverse is the inverse of the body's orientation.
void WriteRafWheelInfo(const CarObject *car, int wheel, DataStream *stream);
void WriteRafWheelFrame(const CarObject *car, int wheel, const float inverse[9], DataStream *stream);

// Writes "data\raf\<shortName>_info.bin". Returns 1 when written, 0 when
// the file could not be created ("Output : Could not open file" shown), -1
// when a write failed (the caller then shows "Output : Could not write file"
// in place of its report).
int WriteCarInfoFile(const CarObject *car);
// Three floats: point less the car's reference point (its origin).
void WriteRelativePoint(const CarObject *car, DataStream *stream, const float point[3]);
void WriteZeroWords(DataStream *stream, int n);
