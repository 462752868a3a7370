#pragma once

struct CarDataFile;
struct CarEngineParams;
struct EngineFigures;

// The car data of the default data set: data/veh/<code>.veh for each of the
// 20 cars, filled from the generator's parameter table (tools/car_params.h).

// The engine record of a car's parameters: the car data and the car's
// default engine-sound file both carry it.
void FillEngineFigures(const CarEngineParams &engine, EngineFigures *figures);

// Fills `data` for car `car` (0..CarModelCount-1). Returns 1, or 0 for a car
// outside the table.
int BuildCarDataFile(int car, CarDataFile *data);

// Writes every car's data under the run folder. Returns null, or the text of
// what went wrong.
const char *WriteCarDataFiles(const char *runFolder);
