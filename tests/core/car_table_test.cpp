#include <gtest/gtest.h>

#include <cstring>

#include "core/car_table.h"
#include "core/text_utils.h"

TEST(CarTable, CodesAndNamesAreUniqueAndBodiesKnown)
{
    for (int i = 0; i < CarModelCount; ++i) {
        EXPECT_EQ(std::strlen(CarTable[i].code), 3u) << i;
        for (int c = 0; c < 3; ++c)
            EXPECT_TRUE(CarTable[i].code[c] >= 'A' && CarTable[i].code[c] <= 'Z') << CarTable[i].code;
        EXPECT_STRNE(CarTable[i].code, "HEL");  // the helmet's body code
        EXPECT_GE(CarTable[i].controlType, 1);
        EXPECT_LE(CarTable[i].controlType, 5);
        bool bodyFound = false;
        for (int b = 0; b < BodyCodeCount; ++b)
            bodyFound |= std::strcmp(BodyCodes[b], CarTable[i].bodyCode) == 0;
        EXPECT_TRUE(bodyFound) << CarTable[i].code;
        for (int j = 0; j < i; ++j) {
            EXPECT_FALSE(EqualsNoCase(CarTable[i].code, CarTable[j].code)) << i << " " << j;
            EXPECT_FALSE(EqualsNoCase(CarTable[i].name, CarTable[j].name)) << i << " " << j;
        }
        // A car code must never shadow a group word of the cars option.
        for (const char *group : {"ALL", "ROAD", "RACE", "TBO", "LRF", "GTR"})
            EXPECT_FALSE(EqualsNoCase(CarTable[i].code, group));
    }
    // Every body is used by some car.
    for (int b = 0; b < BodyCodeCount; ++b) {
        bool used = false;
        for (int i = 0; i < CarModelCount; ++i)
            used |= std::strcmp(BodyCodes[b], CarTable[i].bodyCode) == 0;
        EXPECT_TRUE(used) << BodyCodes[b];
    }
}

TEST(CarTable, GroupMasksSplitRoadAndRaceCars)
{
    EXPECT_EQ(RoadCarsMask & RaceCarsMask, 0u);
    EXPECT_EQ((RoadCarsMask | RaceCarsMask) ^ AllCarsMask, 1u << 7);  // car 7 is in neither
    EXPECT_EQ(TurboCarsMask & ~RoadCarsMask, 0u);
    EXPECT_EQ(LightRearCarsMask & ~RoadCarsMask, 0u);
    EXPECT_EQ(GtCarsMask & ~RaceCarsMask, 0u);
}

TEST(CarTable, Lookups)
{
    const CarModelInfo &car = CarTable[4];
    EXPECT_EQ(FindCarByCode(car.code), 4);
    char lower[4] = {};
    for (int i = 0; i < 3; ++i)
        lower[i] = static_cast<char>(car.code[i] | 0x20);
    EXPECT_EQ(FindCarByCode(lower), 4);  // codes compare without regard to case
    EXPECT_EQ(FindCarByCode("XXX"), -1);
    EXPECT_EQ(FindCarByName(car.name), 4);
    EXPECT_STREQ(GetCarCodeByName(car.name), car.code);
    EXPECT_EQ(GetCarCodeByName("No Such Car"), nullptr);
    EXPECT_EQ(GetCarControlTypeByName("No Such Car"), 0);
    EXPECT_EQ(CanAiDriveOnRallycross("No Such Car"), 0);
    EXPECT_EQ(CanAiDriveOnRallycross(CarTable[0].name), 1);
}

TEST(CarTable, BodyLookupIsExact)
{
    Object3D *const marker = reinterpret_cast<Object3D *>(&BodyObjects);
    BodyObjects[2] = marker;
    EXPECT_EQ(GetBodyValueByCode(BodyCodes[2]), marker);
    char lower[3] = {static_cast<char>(BodyCodes[2][0] | 0x20), static_cast<char>(BodyCodes[2][1] | 0x20), 0};
    EXPECT_EQ(GetBodyValueByCode(lower), nullptr);
    EXPECT_EQ(GetBodyValueByCode("??"), nullptr);
    BodyObjects[2] = nullptr;
}
