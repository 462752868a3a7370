#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/settings.h"
#include "race/game_state.h"
#include "race/race_length.h"
#include "race/race_links.h"
#include "race/race_object.h"
#include "vehicle/car_object.h"
#include "world/world.h"

// A race object with the race links captured: message lines, packets,
// flushes, voices and interface sounds. The world is made on request.
class RaceFixture : public ::testing::Test {
protected:
    void SetUp() override {
        savedLinks = RaceLinks;
        savedSkill = SkillLevel;
        savedOnline = OnlineFlag;
        savedKind = RaceKind;
        savedRules = HostRuleFlags;
        messages.clear();
        packets.clear();
        voices.clear();
        sounds.clear();
        flushes = 0;
        ownConnection = 0;
        RaceLinks = RaceLinkServices{};
        RaceLinks.printMessage = [](const char *text, int) { messages.emplace_back(text); };
        RaceLinks.queueGamePacket = [](const uint8_t *bytes, int length) { packets.emplace_back(bytes, bytes + length); };
        RaceLinks.flushGameBatch = [] { ++flushes; };
        RaceLinks.queueVoice = [](int voice) { voices.push_back(voice); };
        RaceLinks.playInterfaceSound = [](int sound) { sounds.push_back(sound); };
        RaceLinks.ownConnection = [] { return ownConnection; };
        race = CreateRaceObject();
    }
    void TearDown() override {
        DeleteRaceObject();
        if (world != nullptr) {
            world->currentPath = nullptr;
            WorldDestroy(world);
            CurrentWorld = nullptr;
            world = nullptr;
        }
        RaceLinks = savedLinks;
        SkillLevel = savedSkill;
        OnlineFlag = savedOnline;
        RaceKind = savedKind;
        HostRuleFlags = savedRules;
    }

    World *MakeWorld(const char *trackName = "Tollgate Oval") {
        world = WorldCreate();
        std::snprintf(world->trackName, sizeof(world->trackName), "%s", trackName);
        world->startPositionCount = 32;
        CurrentWorld = world;
        return world;
    }

    static PlayerInfo Info(const char *name, uint8_t kind, uint8_t id, uint8_t connection = 0) {
        PlayerInfo info{};
        std::snprintf(info.name, sizeof(info.name), "%s", name);
        info.kind = kind;
        info.playerId = id;
        info.connection = connection;
        return info;
    }

    // A slot with a bare car (no car data) of the given laps.
    PlayerSlot *AddWithCar(const char *name, uint8_t id, int laps = 0) {
        PlayerSlot *slot = race->AddSlot(Info(name, KindLocal, id));
        slot->car = new CarObject;
        slot->car->lapsDone = static_cast<uint16_t>(laps);
        return slot;
    }

    bool HasMessage(const std::string &text) const {
        for (const std::string &m : messages) {
            if (m == text) {
                return true;
            }
        }
        return false;
    }
    int CountMessages(const std::string &text) const {
        int n = 0;
        for (const std::string &m : messages) {
            n += m == text ? 1 : 0;
        }
        return n;
    }

    RaceObject *race = nullptr;
    World *world = nullptr;
    static inline std::vector<std::string> messages;
    static inline std::vector<std::vector<uint8_t>> packets;
    static inline std::vector<int> voices;
    static inline std::vector<int> sounds;
    static inline int flushes = 0;
    static inline int ownConnection = 0;

private:
    RaceLinkServices savedLinks{};
    int savedSkill = 0;
    int savedOnline = 0;
    int savedKind = 0;
    uint32_t savedRules = 0;
};
