#pragma once

struct CarEngine;
class CarObject;
struct DataStream;

// The engine sound of a car: read from an engine file into the car's engine
// (the file's mechanical figures are read aside and left: the car data owns
// them). The sound parameters take their defaults first; on success the
// sound's name is kept in them. 1 when read, else 0 with the sound left at
// its defaults and no waves.
int ReadCarEngineFile(CarObject *car, const char *path, const char *soundName);
// The sound section of an old engine record in car data, into the engine.
int ReadCarEngineSound(CarEngine &engine, DataStream &stream, int recordVersion);
// Hands the car both readers.
void RegisterCarEngineSound();
