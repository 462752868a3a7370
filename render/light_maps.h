#pragma once

#include <cstdint>

#include "render/render_object.h"

// The track's light map: a long strip of light values (one row per step
// along the track, `strip width` texels across) cut into segments of one
// page side that overlap by `overlap` rows, laid side by side as the
// columns of square page textures "!!LMAP<nn>". Cars project it onto
// themselves through their ProjectorConstantSource.

struct TextureRecord;

class LightMapSet {
public:
    LightMapSet() = default;
    ~LightMapSet();
    LightMapSet(const LightMapSet &) = delete;
    LightMapSet &operator=(const LightMapSet &) = delete;

    // Makes the pages from `pixels` (stripLength rows of stripWidth 32-bit
    // texels, bytes R, G, B, A). With `doubled` each channel is taken at
    // double brightness, saturating. A strip that cannot be cut (width not
    // 1..page side, overlap not 0..page side - 1, no rows, no pixels) or a
    // page the device refuses makes no pages: 0 and a log line; else 1.
    int Build(int doubled, int stripWidth, int stripLength, const uint8_t *pixels, int pageSide, int overlapRows);
    // Deletes every page; page count 0.
    void Release();

    TextureRecord *Page(int index) const;

    int32_t segmentsPerPage = 0;
    int32_t step = 0;           // page side minus overlap
    int32_t segmentCount = 0;
    int32_t pageSide = 0;
    int32_t overlap = 0;
    int32_t stripWidth = 0;
    int32_t stripLength = 0;
    int32_t pageCount = 0;
    TextureRecord **pages = nullptr;
};

// One texel of a page (A1R5G5B5, alpha bit 0).
uint16_t LightMapTexel(uint8_t red, uint8_t green, uint8_t blue, int doubled);

// A car's vertex constants: the base lighting in the car's object space,
// the light map's projection onto the car, and its reflection.
class ProjectorConstantSource : public VertexConstantSource {
public:
    ProjectorConstantSource();

    // UploadProjectorConstants.
    void UploadVertexConstants() override;
    // The page of the current page index; none without a light map.
    TextureRecord *LightTexture() const override;

    // Placement on the strip.
    float uOffset = 0.0f;          // in segments (columns)
    float stripFraction = 0.0f;    // 0..1 along the strip
    float xScale = 0.5f;
    float yScale = 0.5f;
    // Heading.
    float headingSine = 0.0f;
    float headingCosine = 1.0f;
    float heightFactor = 0.0f;
    LightMapSet *lightMap = nullptr;  // null: no light map
    int32_t pageIndex = 0;            // set by the upload
    float reflectionStrength = 1.0f;
};

// Uploads the source's constants (c0..c10 in the car's object space, the
// light-map projection c12..c17, the reflection c30..c36); the
// object-space matrix is the identity again afterwards.
void UploadProjectorConstants(ProjectorConstantSource &source);
