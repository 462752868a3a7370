#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

void Touch(const std::string &path, const char *text = "x")
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string ReadAll(FILE *file)
{
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) {
        text.push_back(static_cast<char>(c));
    }
    return text;
}

std::string Resolve(const char *path)
{
    char out[512];
    EXPECT_TRUE(PlatformResolvePath(path, out, sizeof(out)));
    return out;
}

class FileSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::remove_all("fs_data");
        std::filesystem::create_directories("fs_data/skins");
        Touch("fs_data/skins/abc_DEFAULT.jpg", "jpeg");
    }
};

TEST_F(FileSystemTest, BackslashedPathOfAnyCaseFindsTheFile)
{
    FILE *file = PlatformOpenFile("FS_Data\\Skins\\ABC_default.JPG", "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(ReadAll(file), "jpeg");
    std::fclose(file);
    EXPECT_EQ(Resolve("fs_DATA/skins\\abc_default.jpg"), "fs_data/skins/abc_DEFAULT.jpg");
    EXPECT_EQ(Resolve("./fs_data//SKINS/"), "./fs_data/skins");

    // An absolute path resolves the same way from the root.
    const std::string absolute = std::filesystem::current_path().string() + "/FS_DATA/skins/ABC_default.jpg";
    EXPECT_EQ(Resolve(absolute.c_str()),
              std::filesystem::current_path().string() + "/fs_data/skins/abc_DEFAULT.jpg");
}

TEST_F(FileSystemTest, MissingFileStaysMissing)
{
    EXPECT_EQ(PlatformOpenFile("fs_data\\skins\\abc_other.jpg", "rb"), nullptr);
    EXPECT_EQ(PlatformOpenFile("fs_data\\nothing\\abc_default.jpg", "rb"), nullptr);
    EXPECT_EQ(PlatformOpenFile("", "rb"), nullptr);
    EXPECT_EQ(PlatformOpenFile(nullptr, "rb"), nullptr);
    EXPECT_EQ(PlatformOpenFile("fs_data\\Skins", "rb"), nullptr);  // a folder is not a file
    EXPECT_EQ(Resolve("fs_data/Nothing/ABC.jpg"), "fs_data/Nothing/ABC.jpg");
}

TEST_F(FileSystemTest, WritingKeepsANewNameAndReusesAnExistingOne)
{
    FILE *file = PlatformOpenFile("FS_DATA\\SKINS\\New_Skin.jpg", "wb");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    EXPECT_TRUE(std::filesystem::exists("fs_data/skins/New_Skin.jpg"));

    // Writing a name that exists in another case replaces that file.
    file = PlatformOpenFile("fs_data/skins/ABC_default.JPG", "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("new", file);
    std::fclose(file);
    file = PlatformOpenFile("fs_data/skins/abc_DEFAULT.jpg", "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(ReadAll(file), "new");
    std::fclose(file);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("fs_data/skins"),
                            std::filesystem::directory_iterator()),
              2);
}

TEST_F(FileSystemTest, ExactSpellingWinsOverOtherCases)
{
    Touch("fs_data/skins/Pair.txt", "upper");
    Touch("fs_data/skins/pair.txt", "lower");
    EXPECT_EQ(Resolve("fs_data/skins/pair.txt"), "fs_data/skins/pair.txt");
    EXPECT_EQ(Resolve("fs_data/skins/Pair.txt"), "fs_data/skins/Pair.txt");
    EXPECT_EQ(Resolve("fs_data/skins/PAIR.txt"), "fs_data/skins/Pair.txt");  // first in byte order
}

TEST_F(FileSystemTest, FileTimeRemoveAndMakeDirectory)
{
    struct timeval times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimes("fs_data/skins/abc_DEFAULT.jpg", times), 0);
    int64_t seconds = 0;
    EXPECT_TRUE(PlatformGetFileTime("FS_DATA\\skins\\abc_default.jpg", &seconds));
    EXPECT_EQ(seconds, 1000000000);
    EXPECT_FALSE(PlatformGetFileTime("fs_data\\skins\\none.jpg", &seconds));

    EXPECT_TRUE(PlatformMakeDirectory("FS_DATA\\Layout"));
    EXPECT_TRUE(std::filesystem::is_directory("fs_data/Layout"));
    EXPECT_TRUE(PlatformMakeDirectory("fs_data\\layout"));  // already there
    EXPECT_FALSE(PlatformMakeDirectory("fs_data\\none\\deeper"));
    EXPECT_FALSE(PlatformMakeDirectory("fs_data\\skins\\abc_default.jpg"));  // a file is in the way

    EXPECT_TRUE(PlatformRemoveFile("FS_DATA\\SKINS\\ABC_default.jpg"));
    EXPECT_FALSE(std::filesystem::exists("fs_data/skins/abc_DEFAULT.jpg"));
    EXPECT_FALSE(PlatformRemoveFile("fs_data\\skins\\abc_default.jpg"));
    EXPECT_FALSE(PlatformRemoveFile("fs_data\\Layout"));  // folders are not removed
}

TEST_F(FileSystemTest, ResolvedPathThatDoesNotFitIsRefused)
{
    char out[8];
    EXPECT_FALSE(PlatformResolvePath("fs_data/skins/abc_default.jpg", out, sizeof(out)));
    EXPECT_STREQ(out, "");
}


TEST_F(FileSystemTest, RenameReplacesTheTargetInAnyCase)
{
    Touch("fs_data/skins/new.tmp", "new");
    EXPECT_TRUE(PlatformRenameFile("FS_DATA\\skins\\NEW.TMP", "fs_data\\Skins\\ABC_default.jpg"));
    EXPECT_FALSE(std::filesystem::exists("fs_data/skins/new.tmp"));
    FILE *file = PlatformOpenFile("fs_data/skins/abc_DEFAULT.jpg", "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(ReadAll(file), "new");
    std::fclose(file);
    EXPECT_FALSE(PlatformRenameFile("fs_data/none", "fs_data/other"));
}

TEST_F(FileSystemTest, FolderListingFindsEntriesByCaseInsensitivePathAndSuffix)
{
    Touch("fs_data/skins/b_two.JPG");
    Touch("fs_data/skins/a_one.dds");
    std::filesystem::create_directories("fs_data/skins/sub.jpg");
    struct timeval times[2] = {{1000, 0}, {1000, 500000}};
    ASSERT_EQ(utimes("fs_data/skins/b_two.JPG", times), 0);

    std::vector<PlatformFolderEntry> entries;
    ASSERT_TRUE(PlatformListFolder("FS_DATA\\SKINS", ".jpg", &entries));
    ASSERT_EQ(entries.size(), 2u);  // the folder named like a file is left out
    EXPECT_EQ(entries[0].name, "abc_DEFAULT.jpg");
    EXPECT_EQ(entries[1].name, "b_two.JPG");
    EXPECT_EQ(entries[1].modifiedNs, 1000500000000);
    EXPECT_FALSE(entries[1].folder);

    ASSERT_TRUE(PlatformListFolder("fs_data/skins", nullptr, &entries));
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].name, "a_one.dds");
    EXPECT_TRUE(entries[3].folder);

    EXPECT_FALSE(PlatformListFolder("fs_data/none", nullptr, &entries));
    EXPECT_TRUE(entries.empty());
}

}  // namespace
