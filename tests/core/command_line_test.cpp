#include "core/command_line.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/debug_log.h"
#include "core/file_handover.h"
#include "core/settings.h"
#include "core/shell_globals.h"

namespace {

namespace fs = std::filesystem;

struct ParseResult {
    int startMode;
    int dedicatedMode;
    int graphics;
    std::string error;
};

ParseResult Parse(const char *text)
{
    StartMode = StartModeNormal;
    DedicatedMode = DedicatedNone;
    GraphicsEnabled = 1;
    GameName[0] = 0;
    ParseCommandLine(text);
    return {StartMode, DedicatedMode, GraphicsEnabled, CommandLineError};
}

TEST(CommandLineTest, StartParametersAndModes)
{
    struct Case {
        const char *text;
        int startMode;
        int dedicatedMode;
        int graphics;
        const char *error;
    };
    const Case cases[] = {
        {"", StartModeNormal, 0, 1, ""},
        {"host=x", StartModeError, 0, 1, "Invalid command line"},
        {"/host=My Host/dedicated=nogfx", StartModeHost, DedicatedConsole, 0, ""},
        {"/host=Test /dedicated=InVisible ", StartModeHost, DedicatedInvisible, 0, ""},
        {"/host=Test/dedicated=yes", StartModeHost, DedicatedWithGraphics, 1, ""},
        {"/host=a/join=b", StartModeError, 0, 1, "Too many start parameters"},
        {"/dedicated=nogfx/host=a", StartModeError, 0, 1, "Info parameter before start parameter"},
        {"/player=me/host=a", StartModeError, 0, 1, "Too many start parameters"},
        {"/host=a/dedicated=", StartModeError, 0, 1, "Parameter 2 contains no info"},
        {"/host=a/dedicated=sometimes", StartModeError, 0, 1, "Unknown dedicated option"},
        {"/host", StartModeError, 0, 1, "Parameter 1 is invalid"},
        {"/host=a/bogus=1", StartModeError, 0, 1, "Parameter 2 is invalid"},
        {"/host=a/pass=", StartModeHost, 0, 1, ""},
        {"/KILL=1/anything at all", StartModeKill, 0, 1, ""},
        {"/host=x\n//a comment /with slashes\n/dedicated=invisible", StartModeHost, DedicatedInvisible, 0, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const ParseResult result = Parse(c.text);
        EXPECT_EQ(result.startMode, c.startMode);
        EXPECT_EQ(result.dedicatedMode, c.dedicatedMode);
        EXPECT_EQ(result.graphics, c.graphics);
        EXPECT_EQ(result.error, c.error);
    }
}

TEST(CommandLineTest, HostNameBecomesTheGameName)
{
    std::string notice;
    static std::string *seen;
    seen = &notice;
    SetCommandLineNoticePrinter([](const char *text) { *seen = text; });

    Parse("/host=My Host");
    EXPECT_STREQ(GameName, "My Host");
    EXPECT_TRUE(notice.empty());

    // 40 characters are cut to 31, with a warning.
    Parse("/host=0123456789012345678901234567890123456789");
    EXPECT_STREQ(GameName, "0123456789012345678901234567890");
    EXPECT_EQ(notice, "Host name truncated to 31 chars");
    SetCommandLineNoticePrinter(nullptr);

    // A value of 96 characters is refused.
    const std::string longValue = "/host=" + std::string(96, 'a');
    EXPECT_EQ(Parse(longValue.c_str()).error, "Parameter 1 is too long");
}

TEST(FileHandOverTest, LinksBecomeOptions)
{
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    struct Case {
        const char *given;
        int result;
        const char *after;
    };
    const Case cases[] = {
        {"/host=abc", 1, "/host=abc"},
        {"", 1, ""},
        {"kzv://host%3Dabc", 1, "/host=abc"},
        {"kzv:///host%3dabc%2Fx", 1, "/host=abc/x"},
        {"kzv://%G1", -1, nullptr},
        {"kzv://x%4", -1, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.given);
        char line[64];
        std::snprintf(line, sizeof(line), "%s", c.given);
        testing::internal::CaptureStderr();
        EXPECT_EQ(HandleFileArgument(line), c.result);
        const std::string boxes = testing::internal::GetCapturedStderr();
        if (c.after) {
            EXPECT_STREQ(line, c.after);
        } else {
            EXPECT_NE(boxes.find("KZV was unable to interpret the request"), std::string::npos);
        }
    }
}

TEST(FileHandOverTest, DataFoldersAreMadeAndChecked)
{
    fs::create_directory("data");
    EXPECT_EQ(EnsureDataFolder("spr"), 0);
    EXPECT_TRUE(fs::is_directory("data/spr"));
    EXPECT_FALSE(fs::exists("data/spr/file.fl"));
    EXPECT_EQ(EnsureDataFolder("spr"), 0);

    // A file where the folder should be cannot take files.
    std::ofstream("data/knw") << "x";
    EXPECT_NE(EnsureDataFolder("knw"), 0);
    // Nor can anything be made without the data folder.
    fs::remove_all("data");
    EXPECT_NE(EnsureDataFolder("mpr"), 0);
}

}  // namespace
