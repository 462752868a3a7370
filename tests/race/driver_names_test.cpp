#include "race/driver_names.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

const char *const NamesFile = "data/misc/drv.nam";
const char *const MessagesFile = "data/misc/fkeys.msg";

Bytes Header(int version)
{
    Bytes bytes = {'Q', 'Z', 'A', 'I', 'N', 'M'};
    bytes.push_back(static_cast<uint8_t>(version >> 8));
    bytes.push_back(static_cast<uint8_t>(version));
    return bytes;
}

void Append(Bytes &bytes, const std::string &text, size_t field)
{
    for (size_t i = 0; i < field; ++i) {
        bytes.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
    }
}

// A drv.nam record: name and short text (32 bytes), flag, three extra bytes.
void AppendRecord(Bytes &bytes, const std::string &name, const std::string &shortText, uint8_t flag)
{
    Append(bytes, name, 24);
    Append(bytes, shortText, 8);
    bytes.push_back(flag);
    bytes.push_back(1);
    bytes.push_back(2);
    bytes.push_back(3);
}

void WriteFile(const char *path, const Bytes &bytes)
{
    fs::create_directories("data/misc");
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void RemoveFiles()
{
    std::error_code ec;
    fs::remove(NamesFile, ec);
    fs::remove(MessagesFile, ec);
}

std::string DefaultName(int i)
{
    return "AI " + std::to_string(i + 1);
}

void ExpectDefaultNamesFrom(int first)
{
    for (int i = first; i < AiDriverCount; ++i) {
        EXPECT_STREQ(AiDriverNames[i].name, DefaultName(i).c_str());
        EXPECT_STREQ(AiDriverNames[i].shortText, DefaultName(i).c_str());
        EXPECT_EQ(AiDriverNames[i].flag, 0);
    }
}

TEST(DriverNamesTest, MissingOrRefusedFileGivesTheDefaultNames)
{
    RemoveFiles();
    std::strcpy(AiDriverNames[3].name, "stale");
    ReadDriverNames();
    ExpectDefaultNamesFrom(0);

    // Too old, too new, wrong id.
    for (Bytes file : {Header(245), Header(248), Bytes{'Q', 'Z', 'A', 'I', 'N', 'X', 0, 247}}) {
        file.insert(file.end(), {1, 0, 0, 0});
        AppendRecord(file, "Someone", "Some", 1);
        WriteFile(NamesFile, file);
        ReadDriverNames();
        ExpectDefaultNamesFrom(0);
    }
    RemoveFiles();
}

TEST(DriverNamesTest, FileOverwritesTheRecordsItHolds)
{
    Bytes file = Header(247);
    file.insert(file.end(), {5, 0, 0, 0});
    AppendRecord(file, "Alpha", "ALP", 1);
    AppendRecord(file, std::string(24, 'L'), "LONG", 7);
    AppendRecord(file, "Gamma", "GAM", 0);
    AppendRecord(file, "Delta", "DEL", 0);
    AppendRecord(file, "Epsilon", "EPS", 0);
    WriteFile(NamesFile, file);

    ReadDriverNames();

    EXPECT_STREQ(AiDriverNames[0].name, "Alpha");
    EXPECT_STREQ(AiDriverNames[0].shortText, "ALP");
    EXPECT_EQ(AiDriverNames[0].flag, 1);
    EXPECT_EQ(AiDriverNames[0].extra[0], 1);
    EXPECT_EQ(AiDriverNames[0].extra[2], 3);
    EXPECT_EQ(std::string(AiDriverNames[1].name), std::string(23, 'L'));  // cut to 23 characters
    EXPECT_EQ(AiDriverNames[1].flag, 1);                                   // any non-zero byte is set
    EXPECT_STREQ(AiDriverNames[4].name, "Epsilon");
    ExpectDefaultNamesFrom(5);
    RemoveFiles();
}

TEST(DriverNamesTest, OverlongCountOrCutFileReadsOnlyWholeRecords)
{
    // A count above 20 reads 20 records; the 21st is ignored.
    Bytes file = Header(246);
    file.insert(file.end(), {25, 0, 0, 0});
    for (int i = 0; i < 21; ++i) {
        AppendRecord(file, "Driver " + std::to_string(i), "D", 0);
    }
    WriteFile(NamesFile, file);
    ReadDriverNames();
    EXPECT_STREQ(AiDriverNames[0].name, "Driver 0");
    EXPECT_STREQ(AiDriverNames[19].name, "Driver 19");

    // A file cut inside its third record keeps the defaults from there on.
    file = Header(247);
    file.insert(file.end(), {20, 0, 0, 0});
    AppendRecord(file, "First", "F", 0);
    AppendRecord(file, "Second", "S", 0);
    AppendRecord(file, "Third", "T", 0);
    file.resize(file.size() - 10);
    WriteFile(NamesFile, file);
    ReadDriverNames();
    EXPECT_STREQ(AiDriverNames[1].name, "Second");
    ExpectDefaultNamesFrom(2);
    RemoveFiles();
}

TEST(FKeyMessagesTest, MissingOrOldFileGivesTheDefaults)
{
    for (bool oldFile : {false, true}) {
        RemoveFiles();
        if (oldFile) {
            Bytes file = Header(247);
            Append(file, "ignored", 64);
            WriteFile(MessagesFile, file);
        }
        std::strcpy(FKeyMessages[30], "stale");
        ReadFKeyMessages();
        EXPECT_STREQ(FKeyMessages[0], ":)");
        EXPECT_STREQ(FKeyMessages[1], ":-)");
        EXPECT_STREQ(FKeyMessages[4], "");
        EXPECT_STREQ(FKeyMessages[10], "hi");
        EXPECT_STREQ(FKeyMessages[19], "/press right");
        EXPECT_STREQ(FKeyMessages[23], "/exit");
        EXPECT_STREQ(FKeyMessages[30], "");
    }
}

TEST(FKeyMessagesTest, VersionSetsHowManyMessagesTheFileHolds)
{
    struct Case {
        int version;
        int count;
    };
    for (const Case c : {Case{248, 16}, Case{249, 20}, Case{250, 32}}) {
        Bytes file = Header(c.version);
        for (int i = 0; i < c.count; ++i) {
            Append(file, "message " + std::to_string(i), 64);
        }
        WriteFile(MessagesFile, file);
        ReadFKeyMessages();
        for (int i = 0; i < c.count; ++i) {
            EXPECT_EQ(std::string(FKeyMessages[i]), "message " + std::to_string(i)) << c.version;
        }
        if (c.count < 24) {
            EXPECT_STREQ(FKeyMessages[23], "/exit") << c.version;
        }
    }
    RemoveFiles();
}

TEST(FKeyMessagesTest, FullFieldIsTerminatedAndCutFileKeepsDefaults)
{
    Bytes file = Header(250);
    Append(file, std::string(64, 'x'), 64);
    Append(file, "second", 64);
    Append(file, "cut short", 30);
    WriteFile(MessagesFile, file);

    ReadFKeyMessages();

    EXPECT_EQ(std::string(FKeyMessages[0]), std::string(63, 'x'));
    EXPECT_STREQ(FKeyMessages[1], "second");
    EXPECT_STREQ(FKeyMessages[2], "good pass");
    EXPECT_STREQ(FKeyMessages[23], "/exit");
    RemoveFiles();
}

TEST(DriverNamesTest, FindDriverNameFoldsCaseAndAnswersZeroWhenNone)
{
    DefaultDriverNames();
    std::strcpy(AiDriverNames[7].name, "Mia Rossi");
    EXPECT_EQ(FindDriverName("AI 1"), 0);
    EXPECT_EQ(FindDriverName("nobody"), 0);
    EXPECT_EQ(FindDriverName("mia ROSSI"), 7);
    EXPECT_EQ(FindDriverName("ai 20"), 19);
}

TEST(DriverNamesTest, WritersAreByteExactAndReadBack)
{
    RemoveFiles();
    fs::create_directories("data/misc");
    EXPECT_EQ(DefaultDriverNames(), 20);
    std::memcpy(AiDriverNames[2].name, "Twenty-three characters", 24);
    std::memcpy(AiDriverNames[2].shortText, "EIGHT-CH", 8);  // a full field, no end
    AiDriverNames[2].flag = 1;
    AiDriverNames[2].extra[0] = 1;
    AiDriverNames[2].extra[1] = 2;
    AiDriverNames[2].extra[2] = 3;
    WriteDriverNames();
    Bytes expected = Header(247);
    expected.insert(expected.end(), {20, 0, 0, 0});
    for (int i = 0; i < AiDriverCount; ++i) {
        if (i == 2) {
            Append(expected, "Twenty-three characters", 24);
            Append(expected, "EIGHT-CH", 8);
            expected.insert(expected.end(), {1, 1, 2, 3});
        } else {
            Append(expected, DefaultName(i), 24);
            Append(expected, DefaultName(i), 8);
            expected.insert(expected.end(), {0, 0, 0, 0});
        }
    }
    std::ifstream names(NamesFile, std::ios::binary);
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(names), std::istreambuf_iterator<char>()), expected);
    names.close();
    const AiDriverRecord written = AiDriverNames[2];
    DefaultDriverNames();
    ReadDriverNames();
    EXPECT_EQ(std::memcmp(&AiDriverNames[2], &written, sizeof(written)), 0);
    EXPECT_STREQ(AiDriverNames[19].name, "AI 20");

    DefaultFKeyMessages();
    std::strcpy(FKeyMessages[30], "/say thirty");
    WriteFKeyMessages();
    Bytes messages = Header(250);
    for (int i = 0; i < FKeyMessageCount; ++i) {
        Append(messages, FKeyMessages[i], 64);
    }
    std::ifstream keys(MessagesFile, std::ios::binary);
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(keys), std::istreambuf_iterator<char>()), messages);
    keys.close();
    DefaultFKeyMessages();
    EXPECT_STREQ(FKeyMessages[30], "");
    ReadFKeyMessages();
    EXPECT_STREQ(FKeyMessages[30], "/say thirty");
    EXPECT_STREQ(FKeyMessages[23], "/exit");
    RemoveFiles();
}

}  // namespace
