#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/car_table.h"
#include "core/fixed_math.h"
#include "tools/body_objects.h"
#include "tools/car_data_writer.h"
#include "tools/default_track.h"
#include "tools/knowledge_files.h"

namespace {

std::vector<char> Bytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const char *const TrackCodes[] = {"KE1", "KE1R", "KE2", "KE2R", "KE3"};

}  // namespace

// Every configuration and direction, every car: written, checked by the
// program's own reader, line builder and profile, and the same bytes on a
// second run.
TEST(KnowledgeFiles, EveryCarAndConfigurationSameBytesEveryRun)
{
    BuildTrigTables();
    ASSERT_EQ(WriteBodyObjects("."), nullptr);
    ASSERT_EQ(WriteCarDataFiles("."), nullptr);
    ASSERT_EQ(WriteDefaultTrack("."), nullptr);
    const char *error = WriteKnowledgeFiles(".");
    ASSERT_EQ(error, nullptr) << error;
    std::vector<std::vector<char>> first;
    for (const char *track : TrackCodes) {
        for (int car = 0; car < CarModelCount; ++car) {
            const std::string path = std::string("data/knw/") + track + "_" + CarTable[car].code + ".knw";
            first.push_back(Bytes(path));
            EXPECT_GT(first.back().size(), 36u) << path;
        }
    }
    ASSERT_EQ(WriteKnowledgeFiles("."), nullptr);
    size_t index = 0;
    for (const char *track : TrackCodes) {
        for (int car = 0; car < CarModelCount; ++car) {
            const std::string path = std::string("data/knw/") + track + "_" + CarTable[car].code + ".knw";
            EXPECT_EQ(Bytes(path), first[index++]) << path;
        }
    }
}
