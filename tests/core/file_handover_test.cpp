#include "core/file_handover.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "core/status_file.h"
#include "platform/instance_link.h"

namespace {

namespace fs = std::filesystem;

struct BoxSeen {
    std::string title;
    std::string text;
    PlatformMessageBoxKind kind;
};

std::vector<BoxSeen> Boxes;
PlatformAnswer Answer = PlatformAnswerNo;
std::string ProgramFolder;
int AcceptFiles = 1;

PlatformAnswer RecordBox(const char *title, const char *text, PlatformMessageBoxKind kind)
{
    Boxes.push_back({title ? title : "", text ? text : "", kind});
    return kind == PlatformBoxQuestion ? Answer : PlatformAnswerOk;
}

bool FixtureFolder(char *out, size_t size)
{
    std::snprintf(out, size, "%s", ProgramFolder.c_str());
    return true;
}

void WriteFile(const fs::path &path, const std::string &bytes)
{
    fs::create_directories(path.parent_path().empty() ? "." : path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class FileHandOverTest : public ::testing::Test {
protected:
    fs::path root;

    void SetUp() override
    {
        root = fs::current_path();
        ProgramFolder = root.string();
        FileHandOverServices services = {};
        services.messageBox = RecordBox;
        services.findProgramFolder = FixtureFolder;
        services.canAcceptExternalFile = [] { return AcceptFiles; };
        SetFileHandOverServices(services);
        Boxes.clear();
        Answer = PlatformAnswerNo;
        AcceptFiles = 1;
        PendingFileType = 0;
        PendingFileName[0] = 0;
        fs::create_directories("data/spr");
        fs::create_directories("data/layout");
        fs::remove("kzv.sock");
    }

    void TearDown() override
    {
        fs::current_path(root);
        StopInstanceListener();
        SetFileHandOverServices(FileHandOverServices{});
    }

    int Handle(const std::string &given)
    {
        std::vector<char> line(given.begin(), given.end());
        line.push_back(0);
        const int result = HandleFileArgument(line.data());
        fs::current_path(root);
        return result;
    }

    std::string LastBoxText() const
    {
        return Boxes.empty() ? "" : Boxes.back().text;
    }
};

TEST_F(FileHandOverTest, LinksBecomeOptionsInLinkMode)
{
    struct Case {
        const char *given;
        int result;
        const char *after;
    };
    const Case cases[] = {
        {"kzv://host%3Dabc", 1, "/host=abc"},
        {"kzv:///host%3dabc%2Fx", 1, "/host=abc/x"},
        {"kzv://%G1", -1, nullptr},
        {"kzv://x%4", -1, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.given);
        Boxes.clear();
        char line[64];
        std::snprintf(line, sizeof(line), "%s", c.given);
        EXPECT_EQ(HandleFileArgument(line), c.result);
        if (c.after) {
            EXPECT_STREQ(line, c.after);
            EXPECT_EQ(CommandLineIsLink, 1);
        } else {
            EXPECT_EQ(LastBoxText(), "KZV was unable to interpret the request");
        }
    }
    // Options, and options that only end like a file type, are left alone.
    for (const char *given : {"", "/host=abc", "/host=abc.lyt", "/host=x/cars=SET"}) {
        char line[64];
        std::snprintf(line, sizeof(line), "%s", given);
        EXPECT_EQ(HandleFileArgument(line), 1) << given;
        EXPECT_EQ(CommandLineIsLink, 0);
        EXPECT_STREQ(line, given);
    }
}

TEST_F(FileHandOverTest, ReplayIsCopiedAndLeftPending)
{
    // Given relative to another working folder, which holds a different file
    // of the same relative name than the program folder.
    const std::string replay = "KZVSPR\x01\x02" "replay body";
    WriteFile("elsewhere/src/race.spr", replay);
    WriteFile("src/race.spr", "KZVSPR\x01\x02 wrong one");
    fs::current_path("elsewhere");
    EXPECT_EQ(Handle("src/race.spr"), 1);
    EXPECT_EQ(PendingFileType, PendingFileSpr);
    EXPECT_STREQ(PendingFileName, "race");
    EXPECT_EQ(ReadFile("data/spr/race.spr"), replay);
    EXPECT_TRUE(Boxes.empty());

    // The same file again: nothing to ask, the copy is skipped.
    fs::current_path("elsewhere");
    EXPECT_EQ(Handle("\"src/race.SPR\""), 1);
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(FileHandOverTest, BadFilesAreRefused)
{
    WriteFile("short.spr", "KZVSPR1");
    WriteFile("other.spr", "XXXSPR12345");
    const std::string longName = std::string(64, 'n') + ".spr";  // 68 characters
    WriteFile(longName, "KZVSPR1234");
    struct Case {
        std::string given;
        const char *error;
    };
    const Case cases[] = {
        {"short.spr", "SPR file is too short"},
        {"other.spr", "SPR file of unknown format"},
        {"missing.mpr", "Could not open MPR file"},
        {longName, "SPR file name is too long"},
        {std::string(256, 'a') + ".spr", "SPR file name is too long"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.given);
        Boxes.clear();
        EXPECT_EQ(Handle(c.given), -1);
        ASSERT_EQ(Boxes.size(), 1u);
        EXPECT_EQ(Boxes[0].text, c.error);
        EXPECT_EQ(Boxes[0].kind, PlatformBoxError);
        EXPECT_EQ(PendingFileType, 0);
    }
}

TEST_F(FileHandOverTest, LayoutIsCopiedAndTheStartEnds)
{
    WriteFile("in/track.lyt", "KZVLYT\x01\x01 objects");
    EXPECT_EQ(Handle("in/track.lyt"), 0);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].title, "Copied file");
    EXPECT_EQ(Boxes[0].text, "data\\layout\\track.lyt");
    EXPECT_TRUE(fs::exists("data/layout/track.lyt"));

    // The same again: "No need to save".
    Boxes.clear();
    EXPECT_EQ(Handle("in/track.lyt"), 0);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].title, "No need to save");

    // A different file under that name, answered No, stays as it was.
    Boxes.clear();
    WriteFile("in2/track.lyt", "KZVLYT\x01\x01 other objects");
    EXPECT_EQ(Handle("in2/track.lyt"), 0);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].kind, PlatformBoxQuestion);
    EXPECT_EQ(Boxes[0].text, "Overwrite the existing file?");
    EXPECT_EQ(ReadFile("data/layout/track.lyt"), ReadFile("in/track.lyt"));

    // Answered Yes, it is replaced.
    Answer = PlatformAnswerYes;
    EXPECT_EQ(Handle("in2/track.lyt"), 0);
    EXPECT_EQ(ReadFile("data/layout/track.lyt"), ReadFile("in2/track.lyt"));
}

TEST_F(FileHandOverTest, ExternalFileMessages)
{
    EXPECT_EQ(OnExternalFileMessage(1, "race"), 1);
    EXPECT_EQ(PendingFileType, 1);
    EXPECT_STREQ(PendingFileName, "race");
    for (const char *bad : {"a/b", "a\\b", "..", "", "x..y"}) {
        EXPECT_EQ(OnExternalFileMessage(2, bad), 4) << bad;
    }
    EXPECT_EQ(OnExternalFileMessage(3, ""), 0);
    EXPECT_EQ(OnExternalFileMessage(0, ""), 0);
    AcceptFiles = 0;
    EXPECT_EQ(OnExternalFileMessage(2, "race"), 3);
}

// A second process runs the real listener and its pump until it has taken a
// file or the time is up; its exit status is 0 when it holds the expected
// pending file.
pid_t StartRunningInstance(int accept, const char *expectName, int serveMs)
{
    const pid_t child = fork();
    if (child != 0) {
        return child;
    }
    AcceptFiles = accept;
    PendingFileType = 0;
    if (StartInstanceListener() != 1) {
        _exit(20);
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(serveMs);
    while (std::chrono::steady_clock::now() < end && PendingFileType == 0) {
        ServeInstanceRequests();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    // Let a last reply leave before the socket closes.
    for (int i = 0; i < 20; ++i) {
        ServeInstanceRequests();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    StopInstanceListener();
    const bool holds = expectName ? PendingFileType == 1 && std::strcmp(PendingFileName, expectName) == 0
                                  : PendingFileType == 0;
    _exit(holds ? 0 : 21);
}

bool WaitForListener()
{
    for (int i = 0; i < 500; ++i) {
        if (ProbeRunningInstance()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

int ChildStatus(pid_t child)
{
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(FileHandOverTest, ReplayIsHandedToTheRunningInstance)
{
    WriteFile("in/race.spr", "KZVSPR\x01\x02 replay");
    const pid_t child = StartRunningInstance(1, "race", 3000);
    ASSERT_TRUE(WaitForListener());
    EXPECT_EQ(Handle("in/race.spr"), 0);
    EXPECT_TRUE(Boxes.empty()) << LastBoxText();
    EXPECT_EQ(ChildStatus(child), 0);
    EXPECT_FALSE(fs::exists("kzv.sock"));  // its owner removed it
}

TEST_F(FileHandOverTest, BusyInstanceRefusesTheReplay)
{
    WriteFile("in/race.spr", "KZVSPR\x01\x02 replay");
    const pid_t child = StartRunningInstance(0, nullptr, 300);
    ASSERT_TRUE(WaitForListener());
    EXPECT_EQ(Handle("in/race.spr"), -1);
    EXPECT_EQ(LastBoxText(), "KZV is not in the entry screen");
    EXPECT_EQ(ChildStatus(child), 0);
}

TEST_F(FileHandOverTest, UnusableNameAndSilentInstance)
{
    // A name with a folder in it is answered 4.
    const pid_t child = StartRunningInstance(1, nullptr, 300);
    ASSERT_TRUE(WaitForListener());
    EXPECT_EQ(PlatformInstanceSend(InstanceSocketName, 1, "../x", 2000), 4);
    EXPECT_EQ(ChildStatus(child), 0);

    // A listener that never answers: the starter gives up in time.
    ASSERT_EQ(StartInstanceListener(), 1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(PlatformInstanceSend(InstanceSocketName, 1, "race", 200), InstanceReplyFailed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    StopInstanceListener();
    EXPECT_FALSE(fs::exists("kzv.sock"));
}

TEST_F(FileHandOverTest, StaleSocketCountsAsNoInstance)
{
    const pid_t child = fork();
    if (child == 0) {
        _exit(StartInstanceListener() == 1 ? 0 : 1);  // ends without removing it
    }
    ASSERT_EQ(ChildStatus(child), 0);
    ASSERT_TRUE(fs::exists("kzv.sock"));
    EXPECT_EQ(ProbeRunningInstance(), 0);
    EXPECT_EQ(PlatformInstanceSend(InstanceSocketName, 1, "race", 200), InstanceReplyFailed);
    EXPECT_EQ(StartInstanceListener(), 1);
    EXPECT_EQ(ProbeRunningInstance(), 1);
    StopInstanceListener();

    // A live holder keeps a second listener out.
    const pid_t holder = StartRunningInstance(1, nullptr, 300);
    ASSERT_TRUE(WaitForListener());
    EXPECT_EQ(StartInstanceListener(), 0);
    EXPECT_EQ(ChildStatus(holder), 0);
}

TEST(FoldersAndExitTest, DataFoldersAreMadeAndChecked)
{
    fs::create_directory("data");
    EXPECT_EQ(EnsureDataFolder("spr"), 0);
    EXPECT_TRUE(fs::is_directory("data/spr"));
    EXPECT_FALSE(fs::exists("data/spr/file.fl"));
    EXPECT_EQ(EnsureDataFolder("spr"), 0);

    // A regular file standing where the folder should be.
    std::ofstream("data/knw") << "x";
    EXPECT_NE(EnsureDataFolder("knw"), 0);
    fs::remove_all("data");
    EXPECT_NE(EnsureDataFolder("mpr"), 0);
}

TEST(FoldersAndExitTest, FirstExitCodeWins)
{
    ExitCode = 0;
    ExitState = 0;
    ExitProgram(7);
    ExitProgram(3);
    EXPECT_EQ(ExitCode, 7);
    EXPECT_NE(ExitState, 0);
    ExitCode = 0;
    ExitState = 0;
}

// --- Status files -------------------------------------------------------------------

SessionStatus FakeStatus;

std::vector<std::string> Lines(const char *path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

TEST(StatusFileTest, HostAndGuestFiles)
{
    SetSessionStatusReader([](SessionStatus *status) { *status = FakeStatus; });
    std::strcpy(GamePort, "63392");
    FakeStatus = {};
    FakeStatus.isHost = 1;
    WriteStatusFile();
    EXPECT_EQ(Lines("host63392.txt"), (std::vector<std::string>{"kzv=0.5Z28", "status=offline"}));

    std::strcpy(GameName, "My Host");
    std::strcpy(GamePass, "pw");
    MaxConns = 8;
    ConnToMaster = 2;
    MpRules = 0x5;
    FakeStatus.online = 1;
    FakeStatus.racing = 1;
    FakeStatus.qualifyMinutes = 10;
    FakeStatus.raceLengthCode = 115;
    std::strcpy(FakeStatus.trackCode, "XX2R");
    FakeStatus.connectionCount = 2;
    FakeStatus.connectionNames[0] = "host";
    FakeStatus.connectionNames[1] = "guest one";
    WriteStatusFile();
    EXPECT_EQ(Lines("host63392.txt"),
              (std::vector<std::string>{"kzv=0.5Z28", "status=ingame", "guests=1", "maxguests=7", "host=My Host",
                                        "pass=pw", "usemaster=hidden", "trackcfg=XX2R",
                                        "cars=10100000000000000000", "qual=10", "laps=250", "conn=host",
                                        "conn=guest one"}));
    FakeStatus.raceLengthCode = 200;
    FakeStatus.racing = 0;
    WriteStatusFile();
    const std::vector<std::string> hours = Lines("host63392.txt");
    EXPECT_EQ(hours[1], "status=online");
    EXPECT_EQ(hours[10], "hours=10");

    // Nothing is written or deleted during multiplayer replay playback.
    FakeStatus.replayPlaying = 1;
    DeleteHostStatusFile();
    EXPECT_TRUE(fs::exists("host63392.txt"));
    FakeStatus.replayPlaying = 0;
    DeleteHostStatusFile();
    EXPECT_FALSE(fs::exists("host63392.txt"));

    FakeStatus = {};
    FakeStatus.online = 1;
    std::strcpy(FakeStatus.joinedHost, "Far Host");
    WriteStatusFile();
    EXPECT_EQ(Lines("guest.txt"), (std::vector<std::string>{"kzv=0.5Z28", "status=online", "joined=Far Host"}));
    FakeStatus.replayPlaying = 1;
    fs::remove("guest.txt");
    WriteStatusFile();
    EXPECT_FALSE(fs::exists("guest.txt"));
    SetSessionStatusReader(nullptr);
}

}  // namespace
