#include <gtest/gtest.h>

#include <cctype>
#include <cstring>

#include "world/track_sites.h"

namespace {

// The table's shape is bound by the race screens and the network's track
// codes: seven rows with these configuration and weather counts.
TEST(TrackSites, RowsHaveTheirCountsAndNamesBeginWithTheirCodes)
{
    const int configs[TrackSiteCount] = {3, 6, 6, 4, 3, 1, 7};
    const int weathers[TrackSiteCount] = {3, 3, 3, 3, 3, 3, 2};
    for (int i = 0; i < TrackSiteCount; ++i) {
        SCOPED_TRACE(i);
        const TrackSite &row = SiteTable[i];
        ASSERT_NE(row.name, nullptr);
        ASSERT_NE(row.code, nullptr);
        EXPECT_EQ(row.configCount, configs[i]);
        EXPECT_EQ(row.weatherCount, weathers[i]);
        // The race track is opened with the name's first two letters,
        // upper-cased, as its short name: they must be the code.
        ASSERT_EQ(std::strlen(row.code), 2u);
        for (int k = 0; k < 2; ++k) {
            EXPECT_EQ(std::toupper(static_cast<unsigned char>(row.name[k])), row.code[k]);
        }
        for (int c = 0; c < row.configCount; ++c) {
            EXPECT_NE(row.configNames[c], nullptr) << "configuration " << c + 1;
        }
        // No two rows share a name or a code.
        for (int j = 0; j < i; ++j) {
            EXPECT_STRNE(SiteTable[j].name, row.name);
            EXPECT_STRNE(SiteTable[j].code, row.code);
        }
    }
}

TEST(TrackSites, LookUpByNameOrCodeIgnoresCase)
{
    int records = -1;
    EXPECT_EQ(FindTrackSite("kestrel WATER", &records), DefaultTrackSite);
    EXPECT_EQ(records, SiteTable[DefaultTrackSite].recordsFlag);
    records = -7;
    EXPECT_EQ(FindTrackSite("Kestrel Waters", &records), -1);
    EXPECT_EQ(records, -7);
    EXPECT_EQ(FindTrackSite(nullptr, nullptr), -1);
    EXPECT_EQ(FindTrackSiteByCode("ke"), DefaultTrackSite);
    EXPECT_EQ(FindTrackSiteByCode("WH"), 6);
    EXPECT_EQ(FindTrackSiteByCode("XX"), -1);
    EXPECT_EQ(FindTrackSiteByCode(nullptr), -1);
}

}  // namespace
