#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <strings.h>
#include <vector>

#include "core/card_config.h"
#include "render/render_device.h"
#include "render/object_file.h"
#include "render/texture_files.h"
#include "render/texture_manager.h"
#include "tests/render/render_fixtures.h"
#include "tests/world/world_load_steps.h"
#include "tools/default_textures.h"
#include "tools/default_track.h"
#include "world/object_holder.h"
#include "world/track_sites.h"
#include "world/world.h"
#include "world/world_loader.h"

namespace {

void Named(std::set<std::string> *names, const Object3D *object)
{
    if (object == nullptr) {
        return;
    }
    for (uint32_t i = 0; i < object->textureCount; ++i) {
        names->insert(object->textures[i].name);
    }
    for (int i = 0; i < object->childCount; ++i) {
        Named(names, &object->children[i]);
    }
}

// Skins and the plate are found by the skin code, sky and environment by
// the view: not pictures of data/pic.
bool LoadedElsewhere(const std::string &name)
{
    return name.empty() || strncasecmp(name.c_str(), "s_", 2) == 0 || strcasecmp(name.c_str(), "skin") == 0;
}

// The texture names the generated default site uses: its track colours and
// the 3D objects written into it.
std::set<std::string> SiteTextureNames()
{
    std::set<std::string> names;
    BuildTrigTables();
    SetLoadClock(FakeLoadClock);
    const TrackSite &row = SiteTable[DefaultTrackSite];
    World *world = WorldCreate();
    EXPECT_EQ(WorldOpen(world, row.name, row.code, 0, 0, 1, 0, 0), 1);
    int steps = 0;
    while (!WorldLoadStep(world) && ++steps < 100000) {
    }
    for (int i = 0; i < world->colours.count; ++i) {
        names.insert(world->colours.records[i].textureName);
    }
    for (int i = 0; i < world->duplicatorCount; ++i) {
        Named(&names, world->duplicators[i].GetObject());
    }
    WorldDestroy(world);
    SetLoadClock(nullptr);
    return names;
}

class DefaultTexturesTest : public render_test::RecordingRenderTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(StartRecordingRenderer(640, 480));
        ASSERT_EQ(StartGraphics(), 1);
    }
};

TEST_F(DefaultTexturesTest, EveryPictureTheDefaultSiteNamesLoads)
{
    ASSERT_EQ(WriteDefaultTrack("."), nullptr);
    ASSERT_EQ(WriteDefaultTextures("."), nullptr);
    std::set<std::string> names = SiteTextureNames();
    std::vector<std::string> pictures;
    for (const std::string &name : names) {
        if (!LoadedElsewhere(name)) {
            pictures.push_back(name);
        }
    }
    // The site names a few surfaces and at least one object texture.
    ASSERT_GE(pictures.size(), 3u);
    const int savedCompress = CompressTextures;
    const int savedDxt = DxtSupported;
    DxtSupported = 1;
    // Uncompressed, then compressed: the first compressed start writes the
    // cache, the second reads it.
    for (const int compress : {0, 1, 1}) {
        CompressTextures = compress;
        for (const std::string &name : pictures) {
            SCOPED_TRACE(name + " compress " + std::to_string(compress));
            TextureRecord *record = nullptr;
            EXPECT_EQ(LoadTextureByName(name.c_str(), &record, 0), 0);
            ASSERT_NE(record, nullptr);
            EXPECT_NE(record, PlaceholderTexture);
            EXPECT_EQ(record->width, static_cast<uint32_t>(DefaultTextureSide));
            EXPECT_EQ(record->format, compress ? static_cast<uint32_t>(RenderFormatDxt1)
                                               : static_cast<uint32_t>(RenderFormatR5G6B5));
            DeleteTexture(record);
        }
    }
    CompressTextures = savedCompress;
    DxtSupported = savedDxt;
    for (const std::string &name : pictures) {
        EXPECT_TRUE(std::filesystem::exists("data/dds/" + name + ".dds")) << name;
    }
}

TEST(RawPictureWriter, ColourAndAlphaFilesReadBack)
{
    std::vector<uint8_t> rgb(4 * 4 * 3);
    std::vector<uint8_t> alpha(4 * 4);
    for (size_t i = 0; i < alpha.size(); ++i) {
        rgb[i * 3] = static_cast<uint8_t>(i * 10);
        rgb[i * 3 + 1] = 7;
        rgb[i * 3 + 2] = 200;
        alpha[i] = static_cast<uint8_t>(255 - i);
    }
    ASSERT_TRUE(WriteRawColourFile("sign.raw", rgb.data(), 4));
    ASSERT_TRUE(WriteRawAlphaFile("sign.raw", "ALP24.raw", alpha.data(), 4));
    EXPECT_FALSE(WriteRawAlphaFile("sign.raw", "ALPHX.raw", alpha.data(), 4));
    EXPECT_FALSE(WriteRawAlphaFile("sign.jpg", "ALPHA.raw", alpha.data(), 4));
    uint8_t *pixels = nullptr;
    int side = 0;
    int kind = 0;
    int test = 0;
    uint8_t average[4] = {};
    ASSERT_EQ(ReadRawImage(&pixels, "signALP24.raw", &side, &kind, &test, 0, 0, average), 4);
    EXPECT_EQ(kind, AlphaKindFull);
    const std::vector<uint8_t> read(pixels, pixels + 4 * 4 * 4);
    delete[] pixels;
    for (size_t i = 0; i < alpha.size(); ++i) {
        EXPECT_EQ(read[i * 4], rgb[i * 3]);
        EXPECT_EQ(read[i * 4 + 2], 200);
        EXPECT_EQ(read[i * 4 + 3], alpha[i]);
    }
}

}  // namespace
