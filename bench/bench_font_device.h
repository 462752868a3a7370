#pragma once

#include <filesystem>
#include <system_error>

#include "platform/recording_device.h"
#include "render/geometry_batch.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/screen_modes.h"
#include "tools/font_file.h"
#include "ui/font.h"
#include "ui/font_textures.h"
#include "ui/interface_draw.h"
#include "ui/text_batch.h"

// The generated font on the recording device, for the benchmarks that draw
// text: the font file written into a folder of the benchmark's own below the
// temporary folder, read, and graphics started on the device with the render
// shell linked to the screen size and the font textures. The screen
// transform covers the whole screen at a text width scale of 1.
class BenchFontDevice {
public:
    // Null when everything started, else what did not.
    const char *Start(const char *folderName, int *screenWidth, int *screenHeight)
    {
        folder_ = std::filesystem::temp_directory_path() / folderName;
        std::error_code error;
        std::filesystem::create_directories(folder_, error);
        if (const char *written = WriteFontFile(folder_.c_str())) {
            return written;
        }
        RenderShellLink link{};
        link.screenWidth = screenWidth;
        link.screenHeight = screenHeight;
        link.buildFontTextures = RebuildFontTextures;
        SetRenderShellLink(link);
        if (InitFont((folder_ / "data" / "abc" / "kzv.abc").c_str()) != 1 || !UseGraphicsDevice(&device) ||
            StartRenderer(1, -1, 0) != 0 || StartGraphics() != 1 || RebuildFontTextures() != 1) {
            return "no font or device";
        }
        started_ = true;
        SetScreenTransform(0.0f, 0.0f, 1.0f, 1.0f);
        TextWidthScale = 1.0f;
        return nullptr;
    }

    // Lets go of the character cache, the font, the device and the folder.
    ~BenchFontDevice()
    {
        if (started_) {
            ReleaseCachePages();
            ReleaseFontTextures();
            StopGraphics();
        }
        UseGraphicsDevice(nullptr);
        FreeFont();
        SetRenderShellLink(RenderShellLink{});
        std::error_code error;
        std::filesystem::remove_all(folder_, error);
    }

    RecordingDevice device;

private:
    std::filesystem::path folder_;
    bool started_ = false;
};
