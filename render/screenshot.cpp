#include "render/screenshot.h"

#include "platform/file_system.h"
#include "render/render_device.h"
#include "render/render_link.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int MinShotNumber = 1;
constexpr int MaxShotNumber = 99999999;
constexpr int BmpFileHeaderSize = 14;
constexpr int BmpInfoHeaderSize = 40;
constexpr int MaxInSimConnections = 8;
constexpr int InSimShotFailed = 3;

void PutU16(uint8_t *at, uint32_t value)
{
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void PutU32(uint8_t *at, uint32_t value)
{
    PutU16(at, value & 0xFFFF);
    PutU16(at + 2, value >> 16);
}

}  // namespace

bool WriteBmpFile(const char *path, const uint8_t *image, int width, int height)
{
    const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    const uint32_t pixelBytes = rowBytes * static_cast<uint32_t>(height);
    uint8_t header[BmpFileHeaderSize + BmpInfoHeaderSize] = {};
    header[0] = 'B';
    header[1] = 'M';
    PutU32(header + 2, sizeof(header) + pixelBytes);
    PutU32(header + 10, sizeof(header));
    uint8_t *info = header + BmpFileHeaderSize;
    PutU32(info, BmpInfoHeaderSize);
    PutU32(info + 4, static_cast<uint32_t>(width));
    PutU32(info + 8, static_cast<uint32_t>(height));
    PutU16(info + 12, 1);   // planes
    PutU16(info + 14, 24);  // bits per pixel
    PutU32(info + 20, pixelBytes);

    FILE *file = PlatformOpenFile(path, "wb");
    if (file == nullptr) {
        return false;
    }
    bool written = std::fwrite(header, sizeof(header), 1, file) == 1;
    std::vector<uint8_t> row(rowBytes, 0);
    for (int y = 0; y < height && written; ++y) {
        const uint8_t *from = image + static_cast<size_t>(height - 1 - y) * static_cast<size_t>(width) * 4;
        for (int x = 0; x < width; ++x) {
            row[x * 3] = from[x * 4];
            row[x * 3 + 1] = from[x * 4 + 1];
            row[x * 3 + 2] = from[x * 4 + 2];
        }
        written = std::fwrite(row.data(), rowBytes, 1, file) == 1;
    }
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

namespace {

bool FileExists(const char *path)
{
    FILE *file = PlatformOpenFile(path, "rb");
    if (file == nullptr) {
        return false;
    }
    std::fclose(file);
    return true;
}

// A name from an outside program must stay a plain file name inside
// data\shots: no way up, no folder separators, no drive, no control
// characters.
bool SafeShotName(const char *name)
{
    if (name[0] == 0 || std::strstr(name, "..") != nullptr) {
        return false;
    }
    for (const char *c = name; *c != 0; ++c) {
        const unsigned char ch = static_cast<unsigned char>(*c);
        if (ch < 32 || ch == 127 || ch == '/' || ch == '\\' || ch == ':') {
            return false;
        }
    }
    return true;
}

}  // namespace

void TakeScreenshot()
{
    *RenderShell.screenshotRequest = 0;
    int &connection = *RenderShell.insimShotConnection;
    char *insimName = RenderShell.insimShotName;
    insimName[InSimShotNameSize - 1] = 0;
    const bool insim = connection >= 0 && connection < MaxInSimConnections && insimName[0] != 0;
    char path[InSimShotNameSize + 32];
    if (insim) {
        if (!SafeShotName(insimName)) {
            RenderShell.insimNotifyScreenshot(InSimShotFailed);
            connection = MaxInSimConnections;
            return;
        }
        std::snprintf(path, sizeof(path), "data\\shots\\%s.bmp", insimName);
    } else {
        // The number of "Next Shot " may be behind the files (a lost or
        // edited cfg.txt): never write over an earlier shot.
        int number = std::clamp(*RenderShell.nextShot, MinShotNumber, MaxShotNumber);
        for (;;) {
            std::snprintf(path, sizeof(path), "data\\shots\\kzv_%.8d.bmp", number);
            if (number == MaxShotNumber || !FileExists(path)) {
                break;
            }
            ++number;
        }
        *RenderShell.nextShot = std::min(number + 1, MaxShotNumber);
    }
    const bool saved = SaveBackBuffer(path) == 0;
    if (!insim) {
        if (saved) {
            RenderShell.showHudMessageShort(path);
        }
        return;
    }
    RenderShell.insimNotifyScreenshot(saved ? 0 : InSimShotFailed);
    connection = MaxInSimConnections;
}

int SaveBackBuffer(const char *path)
{
    int width = 0;
    int height = 0;
    bool read = RenderDevice.Device != nullptr &&
                RenderDevice.Device->SurfaceSize(RenderDevice.BackBufferSurface, &width, &height) && width > 0 &&
                height > 0;
    std::vector<uint8_t> image;
    if (read) {
        image.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
        read = RenderDevice.Device->ReadBackBuffer(image.data(), width, height) == DeviceOk;
    }
    if (!read) {
        RenderWarning("Could not get back buffer");
        return -1;
    }
    if (path == nullptr || !WriteBmpFile(path, image.data(), width, height)) {
        RenderWarning("Could not save surface to file");
        return -2;
    }
    return 0;
}
