// The toggles of the car's controls: engine, pit limiter, traction control,
// lights and indicators. A toggle the car has no equipment for is refused
// with a message line and the error sound.
#include "core/colour.h"
#include "core/translation_table.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"

namespace {

// Input words of the toggles.
constexpr int EngineStartInput = 5;
constexpr int HeadlightInput = 7;
constexpr int IndicatorInput = 13;
constexpr int PitLimiterInput = 16;
constexpr int TractionControlInput = 17;

constexpr uint32_t PitLimiterFitted = 1u << 30;  // dataFlags
constexpr uint32_t TractionControlFitted = 1u;   // aidFlags
// Vehicle class without a starter motor; its limiter lamp blinks.
constexpr int NoStarterClass = 10;
// What the world answers without speed-limit zones.
constexpr int NoSpeedLimitZone = 255;

void Refuse(TextId text) {
    RacePrintMessage(Tx(text), ColourSalmon);
    RacePlayInterfaceSound(ErrorInterfaceSound);
}

}  // namespace

void CarObject::UpdateStateFlags() {
    if (RaceIsSessionBusy() == 0)
        RaceSendTimedPackets(this);

    bool handled = false;
    if (inputs[EngineStartInput] != 0) {
        if (engine.running == 0) {
            if (vehicleClass == NoStarterClass) {
                Refuse(Text_3h_thisnost);
            } else {
                const int started = engine.Start();
                engineStartSound = started != 0 && carSoundStarted != 0 ? 1 : 0;
            }
        } else {
            engine.Stop();
        }
        inputs[EngineStartInput] = 0;
        handled = true;
    }

    if (inputs[PitLimiterInput] != 0) {
        if (speedLimit == 0) {
            if ((dataFlags & PitLimiterFitted) == 0) {
                Refuse(Text_3g_notequip);
            } else {
                const int lowest = RaceLowestSpeedLimit();
                if (lowest <= 0 || lowest >= NoSpeedLimitZone) {
                    Refuse(Text_3g_nospdlim);
                } else {
                    if (vehicleClass == NoStarterClass)
                        cycleCounter = 0;
                    speedLimit = static_cast<uint8_t>(lowest);
                }
            }
        } else {
            speedLimit = 0;
        }
        inputs[PitLimiterInput] = 0;
        handled = true;
    }

    if (inputs[TractionControlInput] != 0) {
        if (tcOff == 0) {
            if ((aidFlags & TractionControlFitted) == 0) {
                Refuse(Text_3h_thisnotc);
            } else {
                tcOff = 1;
                for (uint8_t &light : tcLight)
                    light = 0;
            }
        } else {
            tcOff = 0;
        }
        inputs[TractionControlInput] = 0;
        handled = true;
    }

    if (inputs[HeadlightInput] != 0) {
        headlight = headlight == 0 ? 1 : 0;
        inputs[HeadlightInput] = 0;
        handled = true;
    }

    if (inputs[IndicatorInput] != 0) {
        if (indicator == 0)
            cycleCounter = 0;
        const int state = inputs[IndicatorInput] - 1;
        indicator = static_cast<uint8_t>(state < 255 ? state : 255);
        inputs[IndicatorInput] = 0;
        handled = true;
    }

    if (handled) {
        lastInputTick = stepCount;
        standstillCount = 0;
    }
}
