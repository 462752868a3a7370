#include "core/data_stream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/translation_table.h"
#include "core/tea_cipher.h"
#include "test_files.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Header(const char *id, int version)
{
    Bytes bytes(id, id + std::strlen(id));
    bytes.push_back(static_cast<uint8_t>(version >> 8));
    bytes.push_back(static_cast<uint8_t>(version));
    return bytes;
}

Bytes Concat(Bytes a, const Bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const uint32_t TestKey[4] = {0x01234567, 0x89ABCDEF, 0xFEDCBA98, 0x76543210};

Bytes Encipher(Bytes plain)
{
    plain.resize((plain.size() + 7) / 8 * 8, 0);
    for (size_t i = 0; i < plain.size(); i += 8) {
        TeaEncipher(&plain[i], &plain[i], TestKey);
    }
    return plain;
}

Bytes FloatBytes(float value)
{
    uint8_t bytes[4];
    std::memcpy(bytes, &value, 4);
    return Bytes(bytes, bytes + 4);
}

// Records what the stream shows over a page.
struct ShownError {
    int count = 0;
    std::string text;
    std::string path;
};
ShownError Shown;

void RecordError(MenuPage *, const char *text, const char *path)
{
    ++Shown.count;
    Shown.text = text;
    Shown.path = path;
}

MenuPage *SomePage()
{
    static int page;
    return reinterpret_cast<MenuPage *>(&page);
}

// Every field kind, laid out so that no field crosses an 8-byte block.
void WriteEveryField(DataStream &stream)
{
    stream.WriteU8(0xAB);
    stream.WriteU8(0x101);  // only the low byte
    stream.WriteU16(0x1BEEF);
    stream.WriteU32(0xDEADBEEF);
    uint32_t bits;
    const float value = -1.25f;
    std::memcpy(&bits, &value, 4);
    stream.WriteU32(bits);
    stream.WriteString("hello", 8);
    const uint8_t raw[4] = {1, 2, 3, 4};
    stream.WriteBytes(raw, 4);
    stream.WriteZeros(8);
}
constexpr int EveryFieldSize = 32;

void CheckEveryField(DataStream &stream)
{
    EXPECT_EQ(stream.Remaining(), EveryFieldSize);
    EXPECT_EQ(stream.ReadU8(), 0xAB);
    EXPECT_EQ(stream.ReadU8(), 0x01);
    EXPECT_EQ(stream.ReadU16(), static_cast<int16_t>(0xBEEF));
    EXPECT_EQ(stream.ReadU32(), 0xDEADBEEFu);
    EXPECT_EQ(stream.ReadFloat(), -1.25f);
    char text[8];
    stream.ReadBytes(text, 8);
    EXPECT_EQ(std::memcmp(text, "hello\0\0\0", 8), 0);
    uint8_t raw[4];
    stream.ReadBlock(raw, 4);
    EXPECT_EQ(raw[0], 1);
    EXPECT_EQ(raw[3], 4);
    uint8_t zeros[8];
    std::memset(zeros, 0xCC, 8);
    stream.ReadBlock(zeros, 8);
    EXPECT_EQ(Bytes(zeros, zeros + 8), Bytes(8, 0));
    EXPECT_EQ(stream.Remaining(), 0);
    EXPECT_FALSE(stream.overrun);
}

class DataStreamTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Shown = ShownError{};
        SetDataStreamErrorDisplay(RecordError);
    }
    void TearDown() override
    {
        SetDataStreamErrorDisplay(nullptr);
        ResetTranslationSlots();
    }
};

TEST_F(DataStreamTest, EveryFieldRoundTripsThroughEverySource)
{
    DataStream out;
    ASSERT_EQ(out.OpenWrite(nullptr, "ds_every.dat", "KZVTST", 0x0102), nullptr);
    ASSERT_NE(out.file, nullptr);
    WriteEveryField(out);
    EXPECT_EQ(out.Close(), 0);
    const Bytes file = ReadFileBytes("ds_every.dat");
    ASSERT_EQ(file.size(), 8u + EveryFieldSize);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 8), Header("KZVTST", 0x0102));

    for (int stayOnFile : {1, 0}) {
        SCOPED_TRACE(stayOnFile ? "file" : "loaded file");
        DataStream in;
        int version = 0;
        EXPECT_EQ(in.OpenRead(nullptr, "ds_every.dat", "KZVTST", &version, 0x0102, stayOnFile), nullptr);
        ASSERT_NE(in.file, nullptr);
        EXPECT_EQ(in.mode, stayOnFile ? 0u : 3u);
        EXPECT_EQ(version, 0x0102);
        CheckEveryField(in);
        if (stayOnFile) {
            EXPECT_EQ(in.ReadU8(), -1);  // the file's end reads as 0xFF bytes
            EXPECT_EQ(in.ReadU32(), 0xFFFFFFFFu);
            EXPECT_FALSE(in.overrun);
        } else {
            EXPECT_EQ(in.ReadU8(), 0);
            EXPECT_TRUE(in.overrun);
        }
        EXPECT_EQ(in.Close(), 0);
        EXPECT_EQ(in.file, nullptr);
    }
    {
        SCOPED_TRACE("memory image");
        DataStream in;
        int version = 0;
        in.OpenMemory(file.data(), file.size(), &version);
        EXPECT_EQ(version, 0x0102);
        CheckEveryField(in);
        EXPECT_EQ(in.ReadU16(), 0);
        EXPECT_TRUE(in.overrun);
        in.Close();
    }
    {
        SCOPED_TRACE("enciphered image");
        const Bytes cipher = Encipher(Bytes(file.begin() + 8, file.end()));
        DataStream in;
        in.OpenEnciphered(cipher.data(), cipher.size(), TestKey);
        CheckEveryField(in);
        EXPECT_EQ(in.ReadU32(), 0u);
        EXPECT_TRUE(in.overrun);
        in.Close();
    }
}

TEST_F(DataStreamTest, HeaderChecksRunInOrderOpenIdVersion)
{
    const char *cannotOpen = "Could not open file :";
    const char *badHeader = "File failed header check :";
    const char *later = "File was created by a later version :";
    struct Case {
        const char *name;
        bool exists;
        Bytes bytes;
        const char *error;
        int version;  // expected out value when the header was read, else -1
    };
    const Case cases[] = {
        {"missing", false, {}, cannotOpen, -1},
        {"empty file", true, {}, badHeader, -1},
        {"wrong id and later version", true, Header("KZVXXX", 0x7000), badHeader, -1},
        {"id differs in case only", true, Header("kzvTST", 1), badHeader, -1},
        {"version equal to the maximum", true, Header("KZVTST", 300), nullptr, 300},
        {"version one above the maximum", true, Header("KZVTST", 301), later, 301},
        {"seven bytes with the right id", true, Bytes{'K', 'Z', 'V', 'T', 'S', 'T', 1}, later, 0x01FF},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = "ds_header.dat";
        std::filesystem::remove(path);
        if (c.exists) {
            WriteFileBytes(path, c.bytes);
        }
        for (int stayOnFile : {1, 0}) {
            DataStream in;
            int version = -1;
            EXPECT_STREQ(in.OpenRead(nullptr, path.c_str(), "KZVTST", &version, 300, stayOnFile), c.error);
            EXPECT_EQ(in.file != nullptr, c.error == nullptr);
            if (c.version >= 0) {
                EXPECT_EQ(version, c.version);
            }
            in.Close();
        }
    }
    EXPECT_EQ(Shown.count, 0);  // no page: errors are only returned
}

TEST_F(DataStreamTest, OpeningErrorsShowOverAGivenPageThroughTheTextLookup)
{
    DataStream in;
    const char *error = in.OpenRead(SomePage(), "ds_nowhere.dat", "KZVTST", nullptr, 1, 1);
    EXPECT_STREQ(error, "Could not open file :");
    EXPECT_EQ(Shown.count, 1);
    EXPECT_EQ(Shown.text, "Could not open file :");
    EXPECT_EQ(Shown.path, "ds_nowhere.dat");

    SetTranslationText(Text_3a_nocrtfil, "Datei nicht erstellt :");
    DataStream out;
    EXPECT_STREQ(out.OpenWrite(SomePage(), "ds_no_folder/x.dat", "KZVTST", 1), "Datei nicht erstellt :");
    EXPECT_EQ(out.file, nullptr);
    EXPECT_EQ(Shown.count, 2);
    EXPECT_EQ(Shown.text, "Datei nicht erstellt :");
    EXPECT_STREQ(Tx(Text_3a_filenohc), "File failed header check :");  // falls back to English
}

TEST_F(DataStreamTest, OpenWriteRefusesAnIdNotSixLongAndCreatesNoFile)
{
    for (const char *id : {"KZVTS", "KZVTSTX", ""}) {
        SCOPED_TRACE(id);
        std::filesystem::remove("ds_badid.dat");
        DataStream out;
        EXPECT_STREQ(out.OpenWrite(SomePage(), "ds_badid.dat", id, 1), "Id length not 6");
        EXPECT_EQ(out.file, nullptr);
        EXPECT_EQ(Shown.text, "Id length not 6");
        EXPECT_FALSE(std::filesystem::exists("ds_badid.dat"));
        EXPECT_EQ(out.Close(), 0);
    }
}

TEST_F(DataStreamTest, TextFieldsAndZeroPaddingHaveTheirExactWidths)
{
    DataStream out;
    ASSERT_EQ(out.OpenWrite(nullptr, "ds_text.dat", "KZVTXT", 1), nullptr);
    out.WriteString("abc", 8);
    out.WriteString("0123456789", 8);
    out.WriteZeros(10);
    out.WriteString("xy", 1);
    out.WriteString("xy", 0);
    out.WriteZeros(-4);
    EXPECT_EQ(out.Close(), 0);

    const Bytes expected = Concat(Concat(Header("KZVTXT", 1), {'a', 'b', 'c', 0, 0, 0, 0, 0}),
                                  Concat({'0', '1', '2', '3', '4', '5', '6', 0}, Bytes(8 + 1 + 1, 0)));
    EXPECT_EQ(ReadFileBytes("ds_text.dat"), expected);
}

TEST_F(DataStreamTest, U16IsSignExtendedAndClampedFloatsStayInRange)
{
    const Bytes image = Concat(Concat(Concat(Header("KZVNUM", 1), {0xFF, 0x7F, 0xFF, 0xFF, 0x01, 0x80}),
                                      Concat(FloatBytes(-5.0f), FloatBytes(7.0f))),
                               Concat(FloatBytes(0.5f), FloatBytes(std::nanf(""))));
    DataStream in;
    in.OpenMemory(image.data(), image.size(), nullptr);
    EXPECT_EQ(in.ReadU16(), 32767);
    EXPECT_EQ(in.ReadU16(), -1);
    EXPECT_EQ(in.ReadU16(), -32767);
    for (float expected : {0.0f, 1.0f, 0.5f, 0.0f}) {
        EXPECT_EQ(in.ReadFloatClamped(0.0f, 1.0f), expected);
    }
    EXPECT_FALSE(in.overrun);
}

TEST_F(DataStreamTest, EncipheredStreamDeciphersOneBlockBeforeEachPairOfWords)
{
    Bytes plain;
    for (uint8_t i = 0; i < 10; ++i) {
        plain.insert(plain.end(), {i, 0, 0, 0});
    }
    const Bytes cipher = Encipher(plain);
    DataStream in;
    in.OpenEnciphered(cipher.data(), cipher.size(), TestKey);
    EXPECT_EQ(in.cipherSource, cipher.data());  // nothing deciphered before the first field
    for (uint32_t i = 0; i < 8; ++i) {
        EXPECT_EQ(in.ReadU32(), i);
        EXPECT_EQ(in.cipherSource, cipher.data() + 8 * (i / 2 + 1)) << "after field " << i;
    }
    EXPECT_EQ(in.Remaining(), 8);
    EXPECT_FALSE(in.overrun);
    in.Close();
    EXPECT_EQ(Bytes(in.block, in.block + 8), Bytes(8, 0));  // no plain text left behind
}

TEST_F(DataStreamTest, EncipheredStreamNeverReadsPastItsBlockOrImage)
{
    const Bytes plain = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const Bytes cipher = Encipher(plain);

    // A field that would cross the block's end takes zeros for its missing bytes.
    DataStream misaligned;
    misaligned.OpenEnciphered(cipher.data(), cipher.size(), TestKey);
    for (int i = 0; i < 7; ++i) {
        misaligned.ReadU8();
    }
    EXPECT_EQ(misaligned.ReadU16(), 8);
    EXPECT_TRUE(misaligned.overrun);
    EXPECT_EQ(misaligned.cipherSource, cipher.data() + 8);

    // A last block cut short is not deciphered.
    DataStream truncated;
    truncated.OpenEnciphered(cipher.data(), 12, TestKey);
    EXPECT_EQ(truncated.Remaining(), 8);
    EXPECT_EQ(truncated.ReadU32(), 0x04030201u);
    EXPECT_EQ(truncated.ReadU32(), 0x08070605u);
    EXPECT_FALSE(truncated.overrun);
    EXPECT_EQ(truncated.ReadU32(), 0u);
    EXPECT_TRUE(truncated.overrun);
    EXPECT_EQ(truncated.cipherSource, cipher.data() + 8);
}

TEST_F(DataStreamTest, ReadsPastTheEndOfMemoryGiveZerosAndSetOverrun)
{
    const Bytes file = Concat(Header("KZVEND", 1), {0x11, 0x22});
    WriteFileBytes("ds_end.dat", file);
    for (int source : {1, 3}) {
        SCOPED_TRACE(source == 1 ? "memory image" : "loaded file");
        DataStream in;
        if (source == 1) {
            in.OpenMemory(file.data(), file.size(), nullptr);
        } else {
            in.OpenRead(nullptr, "ds_end.dat", "KZVEND", nullptr, 1, 0);
        }
        EXPECT_EQ(in.Remaining(), 2);
        uint8_t dest[8];
        std::memset(dest, 0xCC, sizeof(dest));
        in.ReadBlock(dest, 8);
        EXPECT_EQ(Bytes(dest, dest + 8), (Bytes{0x11, 0x22, 0, 0, 0, 0, 0, 0}));
        EXPECT_TRUE(in.overrun);
        EXPECT_EQ(in.ReadU32(), 0u);
        EXPECT_EQ(in.Remaining(), 0);
        in.Close();
    }

    // A file read in place keeps its 0xFF ending.
    DataStream onFile;
    onFile.OpenRead(nullptr, "ds_end.dat", "KZVEND", nullptr, 1, 1);
    EXPECT_EQ(onFile.Remaining(), 2);
    uint8_t dest[4];
    onFile.ReadBlock(dest, 4);
    EXPECT_EQ(Bytes(dest, dest + 4), (Bytes{0x11, 0x22, 0xFF, 0xFF}));
    onFile.Close();
}

TEST_F(DataStreamTest, MemoryImageShorterThanItsHeaderIsOverrunAndLater)
{
    const Bytes seven = {'K', 'Z', 'V', 'T', 'S', 'T', 0x01};
    DataStream in;
    int version = 0;
    in.OpenMemory(seven.data(), seven.size(), &version);
    EXPECT_EQ(version, 0x01FF);
    EXPECT_TRUE(in.overrun);
    EXPECT_EQ(in.ReadU8(), 0);
    EXPECT_EQ(in.Remaining(), 0);

    DataStream empty;
    empty.OpenMemory(nullptr, 0, &version);
    EXPECT_EQ(version, 0xFFFF);
    EXPECT_EQ(empty.ReadU32(), 0u);
    EXPECT_TRUE(empty.overrun);
}

TEST_F(DataStreamTest, SeekRewritesInPlaceAndLeavesTheBytesAround)
{
    DataStream out;
    ASSERT_EQ(out.OpenWrite(nullptr, "ds_seek.dat", "KZVSEK", 2), nullptr);
    out.WriteBytes("abcdefgh", 8);
    out.Seek(-6);
    out.WriteBytes("XY", 2);
    out.Seek(2);
    out.WriteU8('Z');
    out.Seek(0);
    EXPECT_FALSE(out.writeError);
    EXPECT_EQ(out.Close(), 0);
    EXPECT_EQ(ReadFileBytes("ds_seek.dat"), Concat(Header("KZVSEK", 2), {'a', 'b', 'X', 'Y', 'e', 'f', 'Z', 'h'}));

    // A move before the file's start fails and the stream says so.
    DataStream bad;
    ASSERT_EQ(bad.OpenWrite(nullptr, "ds_seek2.dat", "KZVSEK", 2), nullptr);
    bad.Seek(-100);
    EXPECT_TRUE(bad.writeError);
    EXPECT_EQ(bad.Close(), 1);
    DataStream unopened;
    unopened.Seek(4);
    EXPECT_TRUE(unopened.writeError);
}

TEST_F(DataStreamTest, AFailedWriteMakesCloseReportIt)
{
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    DataStream out;
    ASSERT_EQ(out.OpenWrite(nullptr, "/dev/full", "KZVFUL", 1), nullptr);
    out.WriteZeros(64);
    EXPECT_EQ(out.Close(), 1);

    // Writing through a stream that never opened is refused, not a crash.
    DataStream unopened;
    unopened.WriteU32(1);
    EXPECT_EQ(unopened.Close(), 1);
}

TEST(FileFunctionsTest, CompareFilesTellsEqualDifferentAndMissing)
{
    Bytes big(5000, 0x5A);
    Bytes bigChanged = big;
    bigChanged[4500] = 0;
    WriteFileBytes("ds_cmp_empty1", {});
    WriteFileBytes("ds_cmp_empty2", {});
    WriteFileBytes("ds_cmp_ab", {'a', 'b'});
    WriteFileBytes("ds_cmp_abc", {'a', 'b', 'c'});
    WriteFileBytes("ds_cmp_abd", {'a', 'b', 'd'});
    WriteFileBytes("ds_cmp_big", big);
    WriteFileBytes("ds_cmp_big2", bigChanged);
    struct Case {
        const char *a;
        const char *b;
        int result;
    };
    const Case cases[] = {
        {"ds_cmp_empty1", "ds_cmp_empty2", 1}, {"ds_cmp_ab", "ds_cmp_abc", 2}, {"ds_cmp_abc", "ds_cmp_ab", 2},
        {"ds_cmp_abc", "ds_cmp_abd", 2},       {"ds_cmp_abc", "ds_cmp_abc", 1}, {"ds_cmp_big", "ds_cmp_big2", 2},
        {"ds_cmp_none", "ds_cmp_ab", 0},       {"ds_cmp_ab", "ds_cmp_none", 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(CompareFiles(c.a, c.b), c.result) << c.a << " vs " << c.b;
    }
}

TEST(FileFunctionsTest, ExistenceSizeAppendTimeAndCopy)
{
    std::filesystem::create_directories("ds_files");
    WriteFileBytes("ds_files/source.bin", Bytes(5000, 0x42));

    EXPECT_EQ(FileExists("ds_files/source.bin"), 1);
    EXPECT_EQ(FileExists("DS_Files\\Source.BIN"), 1);  // the program's own spelling of paths
    EXPECT_EQ(FileExists("ds_files/none.bin"), 0);
    EXPECT_EQ(FileExists("ds_files"), 0);  // a folder is not a file
    EXPECT_EQ(GetFileSize("ds_files/source.bin"), 5000);
    EXPECT_EQ(GetFileSize("ds_files/none.bin"), 0);

    std::filesystem::remove("ds_files/appended.txt");
    EXPECT_EQ(CanAppendToFile("ds_files/appended.txt"), 1);
    EXPECT_TRUE(std::filesystem::exists("ds_files/appended.txt"));
    EXPECT_EQ(CanAppendToFile("ds_no_folder/appended.txt"), 0);

    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    const int64_t minutes = GetFileTimeMinutes("ds_files/source.bin");
    EXPECT_NEAR(static_cast<double>(minutes), static_cast<double>((now + 11644473600) / 60), 2.0);
    EXPECT_EQ(GetFileTimeMinutes("ds_files/none.bin"), 0u);

    std::filesystem::remove("ds_files/copy.bin");
    EXPECT_EQ(CopyFileContents("ds_files/source.bin", "ds_files/copy.bin"), 1);
    EXPECT_EQ(CompareFiles("ds_files/source.bin", "ds_files/copy.bin"), 1);
    EXPECT_EQ(CopyFileContents("ds_files/none.bin", "ds_files/copy2.bin"), 0);
    EXPECT_FALSE(std::filesystem::exists("ds_files/copy2.bin"));
    EXPECT_EQ(CopyFileContents("ds_files/source.bin", "ds_no_folder/copy.bin"), 0);
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_EQ(CopyFileContents("ds_files/source.bin", "/dev/full"), 0);  // a failed copy is not success
    }
}

}  // namespace
