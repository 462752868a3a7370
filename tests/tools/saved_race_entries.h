#pragma once

#include "race/race_links.h"
#include "vehicle/car_network_services.h"
#include "vehicle/car_race_services.h"
#include "vehicle/race_hooks.h"
#include "world/layout.h"

// The entries the race object registers into the vehicle, the layout and the
// race links: kept at a test's set-up and put back at its tear-down, so that
// no suite leaves its registrations behind for the next.
struct SavedRaceEntries {
    RaceHooks hooks{};
    CarRaceServices services{};
    CarNetworkServices network{};
    LayoutServices layout{};
    RaceLinkServices links{};

    void Save()
    {
        hooks = VehicleRaceHooks;
        services = RaceServices;
        network = CarNetwork;
        layout = GetLayoutServices();
        links = RaceLinks;
    }
    void Restore() const
    {
        VehicleRaceHooks = hooks;
        RaceServices = services;
        CarNetwork = network;
        SetLayoutServices(layout);
        RaceLinks = links;
    }
};
