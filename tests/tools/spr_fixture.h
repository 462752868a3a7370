#pragma once

// Single-player replays over the fixture track: four cars (the local driver
// and three computer drivers whose cars get scripted inputs), recorded
// through the real session, with the replay entries registered for the
// test and put back after it.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "app/replay_services.h"
#include "core/car_table.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "core/text_utils.h"
#include "net/game_batch.h"
#include "race/race_links.h"
#include "race/session_frame.h"
#include "race/session_links.h"
#include "race/spr_file.h"
#include "tests/tools/replay_state_hash.h"
#include "tests/tools/session_world_fixture.h"
#include "vehicle/car_object.h"

class SprFixture : public SessionWorldFixture {
protected:
    void SetUp() override
    {
        SessionWorldFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        savedSessionLinks = SessionLinks;
        RegisterReplayServices();
        SessionLinks.endProgram = [](int code) { EndCodes.push_back(code); };
        RaceLinks.printMessage = [](const char *text, int) { Printed.push_back(text); };
        RaceLinks.showDialog = [](MenuPage *, const char *title, const char *) { Printed.push_back(title); };
        EndCodes.clear();
        Printed.clear();
        std::filesystem::create_directories("data/spr");
        ReplayOutOfSync = 0;
        ReplayFormat = SprFormat;
        ResetSessionAsHost();
        RaceKind = 1;
        CreateRaceObject();
        for (int i = 0; i < 4; ++i) {
            PlayerInfo info{};
            std::snprintf(info.name, sizeof(info.name), i == 0 ? "Driver" : "AI %d", i);
            info.kind = i == 0 ? KindLocal : KindLocalAi;
            info.playerId = static_cast<uint8_t>(i + 1);
            info.fuel[0] = 50;
            PlayerSlot *slot = RaceObjectPtr->AddSlot(info);
            std::snprintf(slot->carName, sizeof(slot->carName), "%s", CarTable[i].name);
        }
        CopyString(RaceObjectPtr->trackName, world->trackName, sizeof(RaceObjectPtr->trackName));
        RaceObjectPtr->raceLength = 3;
        RaceObjectPtr->wind = 0;
    }
    void TearDown() override
    {
        StopSprRecording();
        CloseSprPlayback(0);
        SessionWorldFixture::TearDown();
        SessionLinks = savedSessionLinks;
        SetReplayPacketRecorder(nullptr);
        ReplayLinks = ReplayLinkServices{};
        ReplayOutOfSync = 0;
        ReplayFormat = SprFormat;
        StartMode = StartModeNormal;
    }

    // The computer drivers' cars get scripted inputs: throttle after the
    // start, a weaving steer and gear changes, different for each car.
    static void Drive(RaceObject &race)
    {
        const uint32_t t = race.tick;
        for (int i = 1; i < race.slotCount; ++i) {
            CarObject *car = race.slots[i].car;
            if (car == nullptr) {
                continue;
            }
            car->inputs[1] = t > 1000 ? static_cast<uint16_t>(30000 + 8000 * i) : 0;
            car->inputs[0] = static_cast<uint16_t>(32768 + ((t / 37 + 11 * i) % 9 - 4) * 700);
            car->inputs[3] = t % 300 == static_cast<uint32_t>(10 * i) ? 1 : 0;
        }
    }

    static void Pass()
    {
        GameClock += 10;
        SessionFrame(*GameSessionPtr);
    }

    static void Leave()
    {
        if (GameSessionPtr != nullptr) {
            GameSession *session = GameSessionPtr;
            LeaveSession(*session);
            delete session;
        }
    }

    // Records the race up to race tick `ticks`; the hashes every 100 ticks
    // and at the end. Returns the end tick.
    static uint32_t RecordRace(uint32_t ticks, std::map<uint32_t, uint32_t> &hashes)
    {
        EnterSession(nullptr, SessionNormal, 0);
        EXPECT_EQ(SprRecordingActive(), 1);
        GameClock = InitTime + SessionFrameCount * 10;
        RaceObject &race = *RaceObjectPtr;
        while (race.tick < ticks && GameSessionPtr != nullptr) {
            Drive(race);
            Pass();
            if (race.tick % 100 == 0) {
                hashes[race.tick] = ReplayStateHash(race);
            }
        }
        hashes[race.tick] = ReplayStateHash(race);
        return race.tick;
    }

    // A race of `ticks` ticks recorded and saved under `name`; the session
    // left and the race object deleted.
    static uint32_t RecordAndSave(const char *name, uint32_t ticks, std::map<uint32_t, uint32_t> &hashes)
    {
        const uint32_t end = RecordRace(ticks, hashes);
        EXPECT_EQ(RaceLinks.endSingleRecording(), 1);
        EXPECT_EQ(SaveSprAs(name, 1), 1);
        Leave();
        DeleteRaceObject();
        GameState = 1;
        ResetSessionAsHost();
        return end;
    }

    static std::vector<uint8_t> ReadFile(const std::string &path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void WriteFile(const std::string &path, const std::vector<uint8_t> &bytes)
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    static uint32_t U32At(const std::vector<uint8_t> &bytes, size_t offset)
    {
        return bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 | static_cast<uint32_t>(bytes[offset + 3]) << 24;
    }
    static bool WasPrinted(const std::string &text)
    {
        for (const std::string &line : Printed) {
            if (line.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    static inline std::vector<int> EndCodes;
    static inline std::vector<std::string> Printed;

private:
    SessionLinkServices savedSessionLinks{};
};
