// A frame of the entry page allocates nothing once it has run once: the
// items, the text batches, the screen batch and the message lines are all
// fixed. The heap is counted by replacing operator new in this test program.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "core/colour.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "platform/recording_device.h"
#include "render/geometry_batch.h"
#include "screens/main_menu.h"
#include "screens/startup_screen.h"
#include "tests/ui/fake_glyph_renderer.h"
#include "tests/ui/font_device_fixture.h"
#include "ui/interface_colours.h"
#include "ui/interface_draw.h"
#include "ui/interface_items.h"
#include "ui/menu_page.h"
#include "ui/message_lines.h"
#include "ui/text_batch.h"

// Heap allocations made while `CountingAllocations` is set.
static std::atomic<bool> CountingAllocations{false};
static std::atomic<int> AllocationCount{0};

void *operator new(std::size_t size)
{
    if (CountingAllocations.load(std::memory_order_relaxed)) {
        AllocationCount.fetch_add(1, std::memory_order_relaxed);
    }
    void *p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    return p;
}
void *operator new[](std::size_t size)
{
    return operator new(size);
}
void *operator new(std::size_t size, const std::nothrow_t &) noexcept
{
    if (CountingAllocations.load(std::memory_order_relaxed)) {
        AllocationCount.fetch_add(1, std::memory_order_relaxed);
    }
    return std::malloc(size == 0 ? 1 : size);
}
void *operator new[](std::size_t size, const std::nothrow_t &tag) noexcept
{
    return operator new(size, tag);
}
// Every delete form frees here, out of line, so that no inlined pair looks
// mismatched to the compiler.
[[gnu::noinline]] static void FreeBlock(void *p)
{
    std::free(p);
}
void operator delete(void *p) noexcept
{
    FreeBlock(p);
}
void operator delete[](void *p) noexcept
{
    FreeBlock(p);
}
void operator delete(void *p, std::size_t) noexcept
{
    FreeBlock(p);
}
void operator delete[](void *p, std::size_t) noexcept
{
    FreeBlock(p);
}
void operator delete(void *p, const std::nothrow_t &) noexcept
{
    FreeBlock(p);
}
void operator delete[](void *p, const std::nothrow_t &) noexcept
{
    FreeBlock(p);
}

namespace {

int Width = 800;
int Height = 600;

TEST(EntryPageAllocation, AFrameOfTheEntryPageAllocatesNothingAfterTheFirst)
{
    RecordingDevice device;
    FakeGlyphRenderer renderer;
    renderer.AddFace("Sans One", GlyphFaceSans);
    StartFontOnDevice(StandardFixture(12), "entry_alloc", &renderer, &device, &Width, &Height);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(RebuildFontTextures(), 1);
    SetScreenTransform(0.0f, 0.0f, 1.0f, 1.0f);
    ScreenAspect = 0.75f;
    PixelWidth = 2.0f / 800.0f;
    PixelHeight = 2.0f / 600.0f;
    TextWidthScale = 1.0f;
    ExitState = 0;
    NoDrawFlag = 0;
    InterfaceLayerMode = 0;
    InitMessageColours();
    LoadInterfaceColours();
    ClearMessageLines();
    SelectTextBatch(0);
    PrintMessage("Salmon warning line", &MessageColours[ColourSalmon]);
    PrintMessage("Orange line", &MessageColours[ColourOrange]);
    PrintMessage("Green chat line", &MessageColours[ColourGreen]);

    MenuPage *page = StartupScreen(nullptr);
    page = page->Run(page);
    page = page->Run(page);
    ASSERT_EQ(page, MainMenuPage);
    auto frame = [&page] {
        BeginInterfaceFrame();
        page = page->Run(page);
        MouseEvent event{};
        MouseFracX = 0.5f;
        MouseFracY = -0.3f;
        page->Input(page, &event);
        DrawInterface();
    };
    frame();   // the warm-up: glyphs cached, buffers made
    ASSERT_EQ(InterfaceItemCount, 7);
    // The recording device keeps a log of its calls on the heap: it is off
    // while the frames are counted.
    device.logCalls = false;
    AllocationCount = 0;
    CountingAllocations = true;
    frame();
    frame();
    CountingAllocations = false;
    EXPECT_EQ(AllocationCount.load(), 0);
    // Such a frame does draw: faces, item texts and message lines.
    device.logCalls = true;
    device.calls.clear();
    frame();
    EXPECT_GE(static_cast<int>(device.CallsNamed("DrawIndexedTriangles").size()), 3);

    StartProgramExit(0);
    BeginInterfaceFrame();
    EXPECT_EQ(page->Run(page), nullptr);
    ExitState = 0;
    ExitValue = 0;
    SetCurrentScreen(nullptr);
    ClearMessageLines();
    ReleaseCachePages();
    StopFontOnDevice();
}

}  // namespace
