#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/controllers.h"
#include "core/controls.h"
#include "core/debug_log.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "core/track_ir.h"
#include "platform/dynamic_library.h"
#include "platform/fake_controllers.h"

namespace {

namespace fs = std::filesystem;

std::string LogText()
{
    std::string text;
    if (FILE *file = std::fopen("deb.log", "rb")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof(buffer), file)) > 0) {
            text.append(buffer, n);
        }
        std::fclose(file);
    }
    return text;
}

class InputStartTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::remove_all("data");
        fs::create_directories("data/misc");
        SetControllerBackend(&fake);
        ReleaseControllers();
        ResetControllerTables();
        ControlsFileReadPending = 1;
        GraphicsEnabled = 1;
        ForceFeedbackOn = 1;
        ForceDevice = 0;
        ShiftForceDevice = 0;
        SetDefaultControls();
    }

    void TearDown() override
    {
        ReleaseControllers();
        SetControllerBackend(nullptr);
        ControlsFileReadPending = 1;
    }

    FakeControllerBackend fake;
};

TEST_F(InputStartTest, FirstStartReadsTheFileLaterStartsMakeTheEffect)
{
    FakeControllerDevice &wheel = fake.Add("Wheel", ControllerKindWheel, 3, 0);
    wheel.haptic = 1;
    StartInputDevices();
    EXPECT_EQ(ControlsFileReadPending, 0);
    EXPECT_STREQ(ControlsFilePath(), "data\\misc\\Wheel.con");
    EXPECT_EQ(PedalAxesMode, 1u);  // no file: the wheel's defaults
    EXPECT_EQ(wheel.effects, 0);

    // Focus lost and regained.
    ShutDownInputDevices();
    EXPECT_EQ(fake.started, 0);
    EXPECT_EQ(InputState, 0);
    StartInputDevices();
    EXPECT_EQ(fake.started, 1);
    EXPECT_EQ(wheel.effects, 1);
    EXPECT_EQ(wheel.runs, 1);
}

TEST_F(InputStartTest, WithoutGraphicsOnlyTheFileIsRead)
{
    GraphicsEnabled = 0;
    fake.Add("Pad", ControllerKindJoystick, 2, 0);
    StartInputDevices();
    EXPECT_EQ(fake.starts, 0);
    EXPECT_EQ(ControlsFileReadPending, 0);
    EXPECT_STREQ(ControlsFilePath(), "data\\misc\\DEFAULT.con");
    StartInputDevices();
    EXPECT_EQ(fake.starts, 0);
    GraphicsEnabled = 1;
}

// --- Cursor clip ---------------------------------------------------------------------

int WindowPresent = 1;
std::string ClipCalls;

bool FakeHasWindow()
{
    return WindowPresent != 0;
}
void FakeClip()
{
    ClipCalls += "C";
}
void FakeRelease()
{
    ClipCalls += "R";
}

TEST(CursorClip, FollowsTheFlagOfTheDisplayKind)
{
    const CursorClipFunctions functions = {FakeHasWindow, FakeClip, FakeRelease};
    SetCursorClipFunctions(&functions);
    const uint32_t savedFlags = ScreenFlags;
    const int savedWindowed = StartWindowed;
    struct Case {
        uint32_t flags;
        int windowed;
        int window;
        const char *calls;
    };
    const Case cases[] = {
        {0x200, 0, 1, "C"}, {0x200, 1, 1, "R"}, {0x100, 1, 1, "C"}, {0x100, 0, 1, "R"},
        {0x300, 1, 0, ""},  // no window, no call
    };
    for (const Case &c : cases) {
        ScreenFlags = c.flags;
        StartWindowed = c.windowed;
        WindowPresent = c.window;
        ClipCalls.clear();
        UpdateCursorClip();
        EXPECT_EQ(ClipCalls, c.calls) << c.flags << " " << c.windowed;
    }
    ClipCalls.clear();
    WindowPresent = 0;
    ClipCursorToWindow();
    ReleaseCursorClip();
    EXPECT_EQ(ClipCalls, "");
    ScreenFlags = savedFlags;
    StartWindowed = savedWindowed;
    SetCursorClipFunctions(nullptr);
}

// --- Head tracker --------------------------------------------------------------------------

using SetFunction = void (*)(int which, int result);
using SeenFunction = int (*)(int what);

int SessionExists = 0;
int AskSession()
{
    return SessionExists;
}

class TrackIRTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteDebugLog();
        UnloadTrackIRClient();
        TrackIRState = 2;
        SessionExists = 0;
        WindowServices services = {};
        services.hasGameSession = AskSession;
        SetWindowServices(services);
        // The test keeps its own reference so that the fake's answers stay
        // set while the client library is opened and closed.
        library = PlatformOpenLibrary(KZV_FAKE_TRACKER_LIBRARY);
        ASSERT_NE(library, nullptr);
        set = reinterpret_cast<SetFunction>(PlatformLibrarySymbol(library, "FakeTrackerSet"));
        seen = reinterpret_cast<SeenFunction>(PlatformLibrarySymbol(library, "FakeTrackerSeen"));
        ASSERT_NE(set, nullptr);
        for (int i = 0; i < 5; ++i) {
            set(i, 0);
        }
    }

    void TearDown() override
    {
        UnloadTrackIRClient();
        TrackIRState = 2;
        unsetenv(TrackIRLibraryVariable);
        SetWindowServices(WindowServices{});
        PlatformCloseLibrary(library);
    }

    void *library = nullptr;
    SetFunction set = nullptr;
    SeenFunction seen = nullptr;
};

TEST_F(TrackIRTest, NotInstalledIsFinal)
{
    for (const char *value : {static_cast<const char *>(nullptr), ""}) {
        TrackIRState = 2;
        if (value) {
            setenv(TrackIRLibraryVariable, value, 1);
        } else {
            unsetenv(TrackIRLibraryVariable);
        }
        StartTrackIR();
        EXPECT_EQ(TrackIRState, 1);
    }
    // Configured later in the run: still not tried again.
    setenv(TrackIRLibraryVariable, KZV_FAKE_TRACKER_LIBRARY, 1);
    StartTrackIR();
    EXPECT_EQ(TrackIRState, 1);
    setenv(TrackIRLibraryVariable, "no/such/library.so", 1);
    EXPECT_EQ(LoadTrackIRClient(), 1);
    setenv(TrackIRLibraryVariable, std::string(300, 'x').c_str(), 1);
    EXPECT_EQ(LoadTrackIRClient(), 1);
    EXPECT_EQ(LogText().find("TrackIR"), std::string::npos);
}

TEST_F(TrackIRTest, MissingEntryPointFailsAndIsRetried)
{
    setenv(TrackIRLibraryVariable, KZV_FAKE_TRACKER_PARTIAL_LIBRARY, 1);
    StartTrackIR();
    EXPECT_EQ(TrackIRState, 2);
    EXPECT_NE(LogText().find("TrackIR not initialised"), std::string::npos);
    EXPECT_EQ(StartTrackIRTransmission(), 1);  // closed: nothing to call
    setenv(TrackIRLibraryVariable, KZV_FAKE_TRACKER_LIBRARY, 1);
    StartTrackIR();  // the next restart tries again
    EXPECT_EQ(TrackIRState, 0);
}

TEST_F(TrackIRTest, EveryRefusalFails)
{
    setenv(TrackIRLibraryVariable, KZV_FAKE_TRACKER_LIBRARY, 1);
    for (int which = 0; which < 4; ++which) {
        for (int i = 0; i < 4; ++i) {
            set(i, i == which ? 1 : 0);
        }
        EXPECT_EQ(LoadTrackIRClient(), 2) << which;
    }
    set(3, 0);
    EXPECT_EQ(LoadTrackIRClient(), 0);
    EXPECT_EQ(seen(0), TrackIRDataMask);
    EXPECT_EQ(seen(1), TrackIRProfileId);
    TrackIRData data = {};
    EXPECT_EQ(GetTrackIRData(&data), 0);
}

TEST_F(TrackIRTest, StartWithASessionAndUnload)
{
    setenv(TrackIRLibraryVariable, KZV_FAKE_TRACKER_LIBRARY, 1);
    SessionExists = 1;
    set(4, 1);  // the transmission does not start
    StartTrackIR();
    EXPECT_EQ(TrackIRState, 2);
    const std::string log = LogText();
    EXPECT_NE(log.find("TrackIR initialised"), std::string::npos);
    EXPECT_NE(log.find("TrackIR : could not start"), std::string::npos);

    set(4, 0);
    StartTrackIR();
    EXPECT_EQ(TrackIRState, 0);
    const int unregistered = seen(2);
    UnloadTrackIRClient();
    EXPECT_EQ(TrackIRState, 2);
    EXPECT_EQ(seen(2), unregistered + 1);
    TrackIRState = 1;
    UnloadTrackIRClient();  // nothing loaded: no change
    EXPECT_EQ(TrackIRState, 1);
    EXPECT_EQ(seen(2), unregistered + 1);
}

}  // namespace
