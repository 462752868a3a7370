#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "world/world.h"
#include "world/world_object.h"

namespace {

// A placed object that counts its releases and deletions.
class CountingObject : public WorldObject {
public:
    explicit CountingObject(int &released, int &deleted) : released(released), deleted(deleted) {}
    ~CountingObject() override { ++deleted; }
    void Release() override { ++released; }
    int Read(DataStream *, int) override { return 0; }
    int GetType() const override { return ObjectZone; }
    void Prepare() override {}

private:
    int &released;
    int &deleted;
};

TEST(World, FreshWorldHasItsDefaults)
{
    World *world = WorldCreate();
    EXPECT_EQ(world->loadState, 0);
    EXPECT_EQ(world->config, 1);
    EXPECT_FLOAT_EQ(world->gravity, -9.81f);
    EXPECT_EQ(world->startLightState, 4);
    EXPECT_FLOAT_EQ(world->crowdDensity, 0.5f);
    EXPECT_EQ(world->objectCount, 0);
    EXPECT_EQ(world->colours.count, 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(world->startLamps[i].onColour, ColourWord(255, 30, 30, 1)) << i;
        EXPECT_EQ(world->startLamps[i].offColour, 0u);
    }
    EXPECT_EQ(world->startLamps[3].onColour, ColourWord(30, 255, 30, 1));
    EXPECT_EQ(world->startLamps[3].boundColours[0], nullptr);
    const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(world->startOrientation[i], identity[i]) << i;
    }
    EXPECT_EQ(world->bumpSeed, 30168u);
    EXPECT_EQ(world->bumpCount, 32);
    EXPECT_EQ(world->bumpRadius, 48);
    WorldDestroy(world);
}

TEST(World, IsLoadingOnlyInTheFileStages)
{
    EXPECT_FALSE(WorldIsLoading(nullptr));
    World *world = WorldCreate();
    for (int state = 0; state <= 17; ++state) {
        world->loadState = state;
        EXPECT_EQ(WorldIsLoading(world), state >= 1 && state <= 15) << state;
    }
    WorldDestroy(world);
}

TEST(World, CloseReleasesAndDeletesObjectsAndIsHarmlessTwice)
{
    World *world = WorldCreate();
    int released = 0;
    int deleted = 0;
    for (int i = 0; i < 3; ++i) {
        world->objects[world->objectCount++] = new CountingObject(released, deleted);
    }
    world->preloadNames = new char[384][PreloadNameLength];
    world->preloadNameCount = 5;
    world->lampObjectCount = 2;
    world->startPositionCount = 4;
    world->layoutObjectCount = 1;
    world->loadState = 7;

    world->Close();
    EXPECT_EQ(released, 3);
    EXPECT_EQ(deleted, 3);
    EXPECT_EQ(world->objectCount, 0);
    EXPECT_EQ(world->preloadNames, nullptr);
    EXPECT_EQ(world->preloadNameCount, 0);
    EXPECT_EQ(world->lampObjectCount, 0);
    EXPECT_EQ(world->startPositionCount, 0);
    EXPECT_EQ(world->loadState, 0);
    EXPECT_EQ(world->lampDuplicator, -1);
    EXPECT_EQ(world->layoutObjectCount, 1);   // left for the layout code

    world->Close();
    EXPECT_EQ(released, 3);
    EXPECT_EQ(world->lampDuplicator, -1);
    WorldDestroy(world);
}

TEST(World, DestroyForgetsTheCurrentWorld)
{
    World *other = WorldCreate();
    CurrentWorld = WorldCreate();
    WorldDestroy(other);
    EXPECT_NE(CurrentWorld, nullptr);
    WorldDestroy(CurrentWorld);
    EXPECT_EQ(CurrentWorld, nullptr);
    WorldDestroy(nullptr);
}

TEST(World, ProgressTextsFitTheField)
{
    World *world = WorldCreate();
    world->SetProgressPercent("Objects", 42);
    EXPECT_STREQ(world->progressText, "Objects 42%");
    world->SetProgressText("Paths");
    EXPECT_STREQ(world->progressText, "Paths");

    const std::string longText(100, 'x');
    world->SetProgressText(longText.c_str());
    EXPECT_EQ(strlen(world->progressText), sizeof world->progressText - 1);
    world->SetProgressPercent(longText.c_str(), 100);
    EXPECT_EQ(strlen(world->progressText), sizeof world->progressText - 1);
    WorldDestroy(world);
}

TEST(World, CheckpointCountAndRallycrossWithoutLayoutOrKnowledgePath)
{
    World *world = WorldCreate();
    world->timingLineCount = 3;
    EXPECT_EQ(world->GetCheckpointCount(), 3);
    EXPECT_EQ(world->IsConfigValueLow(), 0);
    WorldDestroy(world);
}

}  // namespace
