#pragma once

// Writes the default engine sound of each car of the car table as
// data/engine/<code>_default.eng under the run folder: its engine figures,
// sound parameters and synthesised waves. Returns null, or the text of what
// went wrong.
const char *WriteDefaultEngineFiles(const char *runFolder);

struct CarEngine;
struct EngineRecord;

// An engine of the generator's table as the car's model set-up leaves it
// (figures, class, firing order); 0 for a car outside the table.
int SetUpDefaultEngine(int car, CarEngine &engine);

// Peaks of the exhaust of an engine record, over 32,767, in the mixer's dry
// accumulator as the car synthesis gives them for a car 2.2 m ahead: at full
// load and 0.95 of the rev limit, and at idle speed without load.
struct EngineLevels {
    double full;
    double idle;
    bool finite;
};
EngineLevels MeasureEngineLevels(const EngineRecord &record, const CarEngine &setUp);
