#include "render/light_maps.h"

#include "render/render_device.h"
#include "render/render_link.h"
#include "render/texture_manager.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// The translation row of a matrix cleared.
void ClearTranslation(float *m)
{
    m[12] = 0.0f;
    m[13] = 0.0f;
    m[14] = 0.0f;
}

}  // namespace

// --- Light maps ------------------------------------------------------------

uint16_t LightMapTexel(uint8_t red, uint8_t green, uint8_t blue, int doubled)
{
    auto channel = [doubled](uint8_t c) -> uint32_t {
        if (doubled) {
            const uint32_t twice = static_cast<uint32_t>(c) >> 2;
            return twice > 31 ? 31 : twice;
        }
        return static_cast<uint32_t>(c) >> 3;
    };
    return static_cast<uint16_t>(channel(red) << 10 | channel(green) << 5 | channel(blue));
}

LightMapSet::~LightMapSet()
{
    Release();
}

TextureRecord *LightMapSet::Page(int index) const
{
    return pages != nullptr && index >= 0 && index < pageCount ? pages[index] : nullptr;
}

void LightMapSet::Release()
{
    if (pages != nullptr) {
        for (int i = 0; i < pageCount; ++i) {
            DeleteTexture(pages[i]);
        }
    }
    delete[] pages;
    pages = nullptr;
    pageCount = 0;
}

int LightMapSet::Build(int doubled, int width, int length, const uint8_t *pixels, int side, int overlapRows)
{
    Release();
    segmentsPerPage = 0;
    step = 0;
    segmentCount = 0;
    pageSide = side;
    overlap = overlapRows;
    stripWidth = width;
    stripLength = length;
    // A strip that cannot be cut into columns of a page would divide by
    // zero or never advance.
    if (pixels == nullptr || side <= 0 || width <= 0 || width > side || overlapRows < 0 || overlapRows >= side ||
        length <= 0) {
        RenderLog("Light map refused: strip %d x %d, page %d, overlap %d", width, length, side, overlapRows);
        return 0;
    }
    segmentsPerPage = side / width;
    step = side - overlapRows;
    segmentCount = static_cast<int32_t>((static_cast<int64_t>(length) + step - 1) / step);
    const int wanted = (segmentCount + segmentsPerPage - 1) / segmentsPerPage;
    pages = new TextureRecord *[static_cast<size_t>(wanted)]();
    for (int page = 0; page < wanted; ++page) {
        char name[TextureNameSize];
        std::snprintf(name, sizeof(name), "!!LMAP%02d", page);
        TextureRecord *record = nullptr;
        DeviceLockedRect locked{};
        GraphicsDevice *device = RenderDevice.Device;
        const bool made = CreateTexture(name, side, side, RenderFormatA1R5G5B5, &record, 0, 1, 1, 0) == 0 &&
                          record != nullptr && record->texture != 0;
        if (made) {
            pages[page] = record;
            pageCount = page + 1;
        }
        if (!made || device == nullptr || device->LockTexture(record->texture, 0, nullptr, 0, &locked) != DeviceOk ||
            locked.bits == nullptr) {
            if (!made && record != nullptr) {
                DeleteTexture(record);
            }
            RenderLog("Light map refused: page %d could not be made", page);
            Release();
            return 0;
        }
        uint8_t *bits = static_cast<uint8_t *>(locked.bits);
        for (int y = 0; y < side; ++y) {
            std::memset(bits + static_cast<size_t>(y) * static_cast<size_t>(locked.pitch), 0,
                        static_cast<size_t>(side) * 2);
        }
        for (int column = 0; column < segmentsPerPage; ++column) {
            const int segment = page * segmentsPerPage + column;
            if (segment >= segmentCount) {
                break;
            }
            const int64_t first = static_cast<int64_t>(segment) * step;
            for (int y = 0; y < side; ++y) {
                const int64_t row = (first + y) % length;
                const uint8_t *from = pixels + static_cast<size_t>(row) * static_cast<size_t>(width) * 4;
                uint16_t *to = reinterpret_cast<uint16_t *>(bits + static_cast<size_t>(y) * static_cast<size_t>(locked.pitch)) +
                               column * width;
                for (int x = 0; x < width; ++x) {
                    to[x] = LightMapTexel(from[x * 4], from[x * 4 + 1], from[x * 4 + 2], doubled);
                }
            }
        }
        device->UnlockTexture(record->texture, 0);
    }
    return 1;
}

// --- The car's projector constants -----------------------------------------

ProjectorConstantSource::ProjectorConstantSource()
{
    // The base's sun colour starts as (1, 1, 1, 0): the car's own default.
    sunColour[0] = 1.0f;
    sunColour[1] = 1.0f;
    sunColour[2] = 1.0f;
    sunColour[3] = 0.0f;
}

void ProjectorConstantSource::UploadVertexConstants()
{
    UploadProjectorConstants(*this);
}

TextureRecord *ProjectorConstantSource::LightTexture() const
{
    return lightMap != nullptr ? lightMap->Page(pageIndex) : nullptr;
}

void UploadProjectorConstants(ProjectorConstantSource &source)
{
    const TransformState &transforms = GetTransformState();
    float inverseWorld[16];
    if (InvertMatrix(inverseWorld, transforms.world) != 0) {
        SetIdentityMatrix(inverseWorld);
    }

    // 1. The base constants in the car's object space.
    std::memcpy(ObjectSpaceMatrix, inverseWorld, sizeof(ObjectSpaceMatrix));
    ClearTranslation(ObjectSpaceMatrix);
    source.VertexConstantSource::UploadVertexConstants();
    SetIdentityMatrix(ObjectSpaceMatrix);

    // 2. The light map's projection.
    const LightMapSet *map = source.lightMap;
    const bool mapped = map != nullptr && map->pageCount > 0 && map->step > 0 && map->segmentsPerPage > 0;
    const float side = mapped ? static_cast<float>(map->pageSide) : 1.0f;
    const float k1 = side * source.xScale;
    const float k2 = side * source.yScale;
    const float s = source.headingSine;
    const float c = source.headingCosine;
    float m[16] = {c * k1, -s * k1, 0, 0, s * k2, c * k2, source.heightFactor * k2, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    float low[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    float high[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    source.pageIndex = 0;
    if (mapped) {
        const float length = static_cast<float>(map->stripLength);
        const float fraction = std::isfinite(source.stripFraction) && source.stripFraction > 0.0f
                                   ? source.stripFraction
                                   : 0.0f;
        float r = length * fraction - static_cast<float>(map->overlap) / 2.0f;
        if (r < 0.0f) {
            r += length;
        }
        if (r >= length) {
            r = std::fmod(r, length);
        }
        int segment = static_cast<int>(r / static_cast<float>(map->step));
        if (segment >= map->segmentCount) {
            segment = map->segmentCount - 1;
        }
        if (segment < 0) {
            segment = 0;
        }
        source.pageIndex = segment / map->segmentsPerPage;
        const int column = segment % map->segmentsPerPage;
        const float u = (static_cast<float>(column) + source.uOffset) * static_cast<float>(map->stripWidth) / side;
        const float v = (r - static_cast<float>(segment * map->step) + static_cast<float>(map->overlap) / 2.0f) / side;
        // The car's position (its object-space origin) lands at (u, v).
        const float *t = &inverseWorld[12];
        for (int col = 0; col < 3; ++col) {
            const float moved = t[0] * m[col] + t[1] * m[4 + col] + t[2] * m[8 + col];
            const float target = col == 0 ? u : col == 1 ? v : 0.0f;
            m[12 + col] = target - moved;
        }
        const float perPage = static_cast<float>(map->segmentsPerPage);
        low[0] = static_cast<float>(column) / perPage + 0.5f / side;
        low[1] = 0.0f;
        low[2] = 0.0f;
        high[0] = static_cast<float>(column + 1) / perPage - 0.5f / side;
        high[1] = 1.0f;
        high[2] = 0.0f;
    }
    float projection[16];
    MultiplyMatrix(projection, inverseWorld, m);
    TransposeMatrix(projection, projection);
    SetVertexConstants(12, projection, 4);
    // 3. The clamp range.
    SetVertexConstants(16, low, 1);
    SetVertexConstants(17, high, 1);

    // 4. The eye in object space.
    float worldView[16];
    float inverseWorldView[16];
    MultiplyMatrix(worldView, transforms.world, transforms.view);
    if (InvertMatrix(inverseWorldView, worldView) != 0) {
        SetIdentityMatrix(inverseWorldView);
    }
    const float eye[4] = {inverseWorldView[12], inverseWorldView[13], inverseWorldView[14], 1.0f};
    SetVertexConstants(30, eye, 1);

    // 5. The reflection matrix.
    float turn[16];
    std::memcpy(turn, transforms.world, sizeof(turn));
    ClearTranslation(turn);
    const float a = EnvironmentRotation[0];
    const float b = EnvironmentRotation[1];
    const float r[16] = {-0.5f * a, 0.5f * b, 0, 0, -0.5f * b, -0.5f * a, 0, 0, 0, 0, -2, 0, 0.5f, 0.5f, 0.2f, 1};
    float reflection[16];
    MultiplyMatrix(reflection, turn, r);
    TransposeMatrix(reflection, reflection);
    SetVertexConstants(31, reflection, 4);

    // 6. The reflection's scale and colour.
    const float scale[4] = {0.5f, 0.5f, 1.0f, 1.0f};
    const float strength[4] = {0.0f, 0.0f, 0.0f, source.reflectionStrength};
    SetVertexConstants(35, scale, 1);
    SetVertexConstants(36, strength, 1);
}
