#pragma once

#include <cstdint>

#include "world/human_system.h"
#include "world/world_object.h"

// People beside the track. Both kinds stand still until the world creates
// their figures (World::CreateFigures) when the user goes on the track, and
// free them when the user leaves.

// A crowd row is cut into slots this wide (metres).
constexpr float CrowdSlotWidth = 0.8f;
// A row holds at most this many slots; a wider row is read as damaged data
// and keeps this many.
constexpr int MaxCrowdSlots = 256;

// One standing figure (a marshal, a mechanic) in a pose chosen at random.
class FigureObject : public HeadedWorldObject {
public:
    FigureObject(int32_t x, int32_t y);
    ~FigureObject() override { FreeFigure(); }

    void Release() override { FreeFigure(); }
    int Read(DataStream *stream, int version) override;
    int GetType() const override { return ObjectFigure; }
    void Prepare() override;

    // Creates and poses the figure. Steps SharedRandom exactly once, with or
    // without a human system and whatever its clips hold.
    void CreateFigure();
    void FreeFigure();

    uint32_t flags = 0;            // read, not used
    float height = 0.0f;           // metres
    DriverFigure *figure = nullptr;  // owned, or null
};

// A row of spectators: each 0.8 m slot is filled with a probability, and a
// spectator gets a random body, size and a pose that suits its height.
class CrowdObject : public HeadedWorldObject {
public:
    CrowdObject(int32_t x, int32_t y);
    ~CrowdObject() override { FreeFigures(); }

    void Release() override { FreeFigures(); }
    int Read(DataStream *stream, int version) override;
    int GetType() const override { return ObjectCrowd; }
    void Prepare() override;

    // The row's slots: width / 0.8 truncated, 0..MaxCrowdSlots.
    int SlotCount() const;
    // Creates the spectators with a fill probability of density (0..1).
    // Steps SharedRandom exactly SlotCount times, with or without a human
    // system and whatever the spectators drew.
    void FillSlots(float density);
    void FreeFigures();

    uint32_t flags = 0;            // read, not used
    uint32_t poseGroup = 0;        // a clip suits when its group mask has bit (poseGroup & 31)
    float width = 5.0f;            // metres along (cos heading, sin heading)
    float heightStart = 0.0f, heightEnd = 0.0f;   // ground under the first and last slot
    float sizeStart = 0.5f, sizeEnd = 0.5f;       // wanted figure size at the two ends
    int32_t figureCount = 0;
    DriverFigure *figures = nullptr;   // owned array, figureCount posed
};
