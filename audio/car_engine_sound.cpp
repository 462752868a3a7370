#include "audio/car_engine_sound.h"

#include <cstdio>
#include <cstring>

#include "audio/engine_file.h"
#include "vehicle/car_object.h"

int ReadCarEngineFile(CarObject *car, const char *path, const char *soundName)
{
    CarEngine &engine = car->engine;
    // A new engine sound starts its exhaust from rest.
    car->soundState = CarSoundState{};
    EngineRecord mechanical{};
    engine.FreeWaves(true);
    engine.soundParams.SetDefaults();
    const int read = ReadEngineFile(mechanical, path, nullptr, engine.soundParams, engine.waves);
    mechanical.FreeWaves(true);
    if (!read) {
        engine.FreeWaves(true);
        std::memset(engine.soundParams.name, 0, sizeof(engine.soundParams.name));
        engine.soundParams.SetDefaults();
        return 0;
    }
    std::snprintf(engine.soundParams.name, sizeof(engine.soundParams.name), "%s", soundName ? soundName : "");
    return 1;
}

int ReadCarEngineSound(CarEngine &engine, DataStream &stream, int recordVersion)
{
    return ReadEngineWaves(engine, stream, 0, recordVersion);
}

void RegisterCarEngineSound()
{
    CarServices.readEngineFile = ReadCarEngineFile;
    CarServices.readEngineSound = ReadCarEngineSound;
}
