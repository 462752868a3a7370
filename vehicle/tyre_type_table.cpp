#include "vehicle/tyre_type_table.h"

// Slicks R1 to R4, road super, road normal, hybrid, knobbly.
constinit const TyreTypeInfo TyreTypeTable[TyreTypeCount] = {
    {1.0f, 70.0f, 980.0f, 4.1e-08f},
    {1.0f, 85.0f, 910.0f, 2.6e-08f},
    {1.0f, 100.0f, 840.0f, 1.6e-08f},
    {1.0f, 115.0f, 780.0f, 1.0e-08f},
    {0.6f, 60.0f, 450.0f, 1.2e-08f},
    {0.5f, 50.0f, 300.0f, 9.0e-09f},
    {0.6f, 50.0f, 450.0f, 1.5e-08f},
    {0.5f, 40.0f, 300.0f, 9.0e-09f},
};
