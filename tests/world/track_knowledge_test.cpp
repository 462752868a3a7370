#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/settings.h"
#include "path_fixture.h"
#include "world/track_code.h"
#include "world/track_knowledge.h"

namespace {

// A world whose configuration 2 of site "ab" has a closed knowledge path of
// n nodes, with the data\knw folder in place.
class KnowledgeWorld : public PathWorld {
public:
    explicit KnowledgeWorld(int n, int reversed = 0)
    {
        std::filesystem::create_directories("data/knw");
        delete[] world->configs;
        world->configs = new WorldConfig[2];
        world->configCount = 2;
        world->config = 2;
        world->reversed = reversed;
        std::strcpy(world->shortName, "ab");
        PathFields fields;
        fields.flags = PathClosedLoop | PathUsesKnowledge;
        for (int i = 0; i < n; ++i) {
            fields.nodes.push_back(PathNodeAt(Metres(static_cast<float>(i)), 0, 0.0f, 4.0f));
        }
        EXPECT_EQ(ReadPathFields(world->configs[1].path, fields), 0);
        world->SelectCurrentPath();
    }
    Path &Learned() { return world->configs[1].path; }
};

void ExpectDefaults(const Path &path)
{
    for (int i = 0; i < path.nodeCount; ++i) {
        for (int k = 0; k < 3; ++k) {
            ASSERT_EQ(path.nodes[i].lines[k].offset, static_cast<float>(k - 1)) << i;
            ASSERT_EQ(path.nodes[i].lines[k].weight, 0.0f) << i;
        }
    }
}

} // namespace

TEST(TrackCode, SiteLettersConfigurationAndDirection)
{
    struct Case {
        const char *site;
        int config, reversed;
        const char *want;
    };
    const Case cases[] = {
        {"ab", 2, 1, "AB2R"},
        {"ab", 2, 0, "AB2"},
        {"Abbey Road", 12, 0, "AB12"},
        {"x", 1, 0, "X1"},
    };
    for (const Case &c : cases) {
        char code[16];
        FormatTrackCode(code, sizeof code, c.site, c.config, c.reversed);
        EXPECT_STREQ(code, c.want);
    }
    const int savedConfig = TrackConfig, savedFlip = TrackFlip;
    TrackConfig = 3;
    TrackFlip = 1;
    char code[16];
    GetTrackCode(code, sizeof code, "cd site");
    EXPECT_STREQ(code, "CD3R");
    TrackConfig = savedConfig;
    TrackFlip = savedFlip;
}

TEST(TrackKnowledge, RoundTripsThroughItsFile)
{
    KnowledgeWorld scene(500);
    for (int i = 0; i < 500; ++i) {
        for (int k = 0; k < 3; ++k) {
            scene.Learned().nodes[i].lines[k].offset = static_cast<float>(i) * 0.01f + static_cast<float>(k);
            scene.Learned().nodes[i].lines[k].weight = static_cast<float>(k) * 0.25f;
        }
    }
    char name[64];
    MakeTrackKnowledgeFileName(scene.world, name, sizeof name);
    EXPECT_STREQ(name, "data\\knw\\AB2.trs");
    WriteTrackKnowledge(scene.world);
    EXPECT_EQ(std::filesystem::file_size("data/knw/AB2.trs"), 8u + 4u + 500u * 24u);

    KnowledgeWorld reread(500);
    ReadTrackKnowledge(reread.world);
    for (int i = 0; i < 500; ++i) {
        for (int k = 0; k < 3; ++k) {
            ASSERT_EQ(reread.Learned().nodes[i].lines[k].offset, scene.Learned().nodes[i].lines[k].offset);
            ASSERT_EQ(reread.Learned().nodes[i].lines[k].weight, scene.Learned().nodes[i].lines[k].weight);
        }
    }
    EXPECT_TRUE(WorldLines().empty());

    // The reversed direction names another file, which is missing.
    KnowledgeWorld reversed(500, 1);
    reversed.Learned().nodes[0].lines[0].weight = 3.0f;
    ReadTrackKnowledge(reversed.world);
    ExpectDefaults(reversed.Learned());
}

TEST(TrackKnowledge, UnusableFilesGiveTheDefaults)
{
    struct Case {
        const char *what;
        std::vector<uint8_t> bytes;   // empty: no file
        const char *message;
    };
    auto header = [](int version) {
        return std::vector<uint8_t>{'Q', 'Z', 'T', 'R', 'S', 'T', static_cast<uint8_t>(version >> 8),
                                    static_cast<uint8_t>(version)};
    };
    std::vector<uint8_t> otherCount = header(246);
    otherCount.insert(otherCount.end(), {4, 0, 0, 0});
    otherCount.resize(otherCount.size() + 4 * 24);
    std::vector<uint8_t> later = header(247);
    later.insert(later.end(), {3, 0, 0, 0});
    later.resize(later.size() + 3 * 24);
    std::vector<uint8_t> cut = header(246);
    cut.insert(cut.end(), {3, 0, 0, 0});
    cut.resize(cut.size() + 3 * 24 - 1);
    // Whole files for 3 nodes with one line value spoilt: the offset of
    // node 1's right line, or the weight of node 2's left line.
    auto spoilt = [&header](int at, float value) {
        std::vector<uint8_t> bytes = header(246);
        bytes.insert(bytes.end(), {3, 0, 0, 0});
        bytes.resize(bytes.size() + 3 * 24);
        std::memcpy(bytes.data() + 12 + at, &value, sizeof value);
        return bytes;
    };
    const int offsetAt = 1 * 24 + 2 * 8;
    const int weightAt = 2 * 24 + 4;
    const Case cases[] = {
        {"missing", {}, nullptr},
        {"a line 1e30 m off the centre", spoilt(offsetAt, 1e30f), nullptr},
        {"a line beyond the lateral bound", spoilt(offsetAt, -10001.0f), nullptr},
        {"a line offset not a number", spoilt(offsetAt, std::nanf("")), nullptr},
        {"a weight not a number", spoilt(weightAt, std::nanf("")), nullptr},
        {"an infinite weight", spoilt(weightAt, INFINITY), nullptr},
        {"written for 4 nodes", otherCount, "Path info changed"},
        {"a later version", later, nullptr},
        {"cut short", cut, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        KnowledgeWorld scene(3);
        std::filesystem::remove("data/knw/AB2.trs");
        if (!c.bytes.empty()) {
            FILE *file = std::fopen("data/knw/AB2.trs", "wb");
            ASSERT_NE(file, nullptr);
            std::fwrite(c.bytes.data(), 1, c.bytes.size(), file);
            std::fclose(file);
        }
        scene.Learned().nodes[1].lines[2].offset = 7.0f;
        scene.Learned().nodes[2].lines[0].weight = 1.0f;
        ReadTrackKnowledge(scene.world);
        ExpectDefaults(scene.Learned());
        const std::vector<std::string> want =
            c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{};
        EXPECT_EQ(WorldLines(), want);
    }
}

TEST(TrackKnowledge, OnlyClosedKnowledgePathsUseTheFile)
{
    KnowledgeWorld scene(3);
    scene.Learned().flags &= ~PathClosedLoop;
    scene.world->SelectCurrentPath();
    std::filesystem::remove("data/knw/AB2.trs");
    WriteTrackKnowledge(scene.world);
    EXPECT_FALSE(std::filesystem::exists("data/knw/AB2.trs"));
    scene.Learned().nodes[0].lines[0].weight = 2.0f;
    ReadTrackKnowledge(scene.world);
    EXPECT_EQ(scene.Learned().nodes[0].lines[0].weight, 2.0f);
}

TEST(TrackKnowledge, AFileThatCannotBeMadeIsNamed)
{
    KnowledgeWorld scene(3);
    std::filesystem::remove_all("data/knw");
    WriteTrackKnowledge(scene.world);
    const std::vector<std::string> want = {"data\\knw\\AB2.trs"};
    EXPECT_EQ(WorldLines(), want);
}
