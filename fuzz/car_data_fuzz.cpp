// The car data of a car model (data\veh\<code>.veh, header included), read
// through LoadCarData into a fresh car and on through the whole set-up model,
// as the program loads a car with the simulation services registered. A car
// that loads is loaded once more mirrored.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_object.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzStartSimulation();
    int loaded = 0;
    {
        CarObject car;
        CarLoadArguments args;
        loaded = LoadCarDataImage(&car, data, size, args);
    }
    if (loaded) {
        CarObject car;
        CarLoadArguments args;
        args.options = 1;
        LoadCarDataImage(&car, data, size, args);
    }
    return 0;
}
