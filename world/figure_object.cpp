#include "world/figure_object.h"

#include <cmath>

#include "core/data_stream.h"
#include "world/scenery_maths.h"
#include "world/shared_random.h"
#include "world/world.h"

namespace {

constexpr float FixOne = 65536.0f;
constexpr int32_t FigureRadius = 2 * 65536;

// The next value of a copy of SharedRandom, leaving the generator alone.
uint32_t PeekSharedRandom()
{
    return (SharedRandom * 5 + 1) & 65535u;
}

// Every "drawn at random until" search: one draw picks where to start, then
// one pass forward (wrapping) looks for an entry that suits. -1 when none
// does; the search always ends.
template <typename Suits> int ScanFrom(uint32_t draw, int count, Suits suits)
{
    if (count <= 0) {
        return -1;
    }
    const int first = static_cast<int>(draw % static_cast<uint32_t>(count));
    for (int k = 0; k < count; ++k) {
        const int index = (first + k) % count;
        if (suits(index)) {
            return index;
        }
    }
    return -1;
}

// Whether the block may pose a figure of pose group `group` at height v.
bool BlockSuits(const FigureBlock &block, uint32_t group, float v)
{
    if (!((block.groupMask >> (group & 31)) & 1u)) {
        return false;
    }
    return block.flags == 0 || (block.low < v && v < block.high);
}

} // namespace

FigureObject::FigureObject(int32_t x, int32_t y)
{
    positionX = x;
    positionY = y;
}

int FigureObject::Read(DataStream *stream, int)
{
    flags = stream->ReadU32();
    heading = stream->ReadFloat();
    height = stream->ReadFloat();
    return stream->overrun ? 1 : 0;
}

void FigureObject::Prepare()
{
    stateFlags |= 4;
    minX = maxX = positionX;
    minY = maxY = positionY;
    radius = FigureRadius;
    centreX = positionX;
    centreY = positionY;
    centreZ = RoundToFix(height * FixOne);
}

void FigureObject::CreateFigure()
{
    FreeFigure();
    // The one step of SharedRandom that every program takes for this object.
    const uint32_t draw = StepSharedRandom();
    const FigureHumanSystem *humans = GetFigureHumanSystem();
    if (!humans) {
        return;
    }
    const int record = FindWorldFigure(*humans);
    if (record < 0) {
        return;
    }
    figure = new DriverFigure;
    figure->SetRecord(*humans, record);
    FixRotationZ(figure->transform.matrix, AngleFromRadians(heading));
    figure->transform.position = {positionX, positionY, RoundToFix(height * FixOne)};
    const int block = ScanFrom(draw, humans->BlockCount(record),
                               [&](int b) { return (humans->Block(record, b).groupMask & 1u) != 0; });
    figure->CopyKeys(*humans, block >= 0 ? humans->Block(record, block).keys[0] : nullptr);
}

void FigureObject::FreeFigure()
{
    delete figure;
    figure = nullptr;
}

CrowdObject::CrowdObject(int32_t x, int32_t y)
{
    positionX = x;
    positionY = y;
}

int CrowdObject::Read(DataStream *stream, int)
{
    flags = stream->ReadU32();
    poseGroup = stream->ReadU32();
    heading = stream->ReadFloat();
    width = stream->ReadFloat();
    heightStart = stream->ReadFloat();
    heightEnd = stream->ReadFloat();
    sizeStart = stream->ReadFloat();
    sizeEnd = stream->ReadFloat();
    return stream->overrun ? 1 : 0;
}

void CrowdObject::Prepare()
{
    stateFlags |= 4;
    minX = maxX = positionX;
    minY = maxY = positionY;
    const float half = width / 2.0f;
    const float rise = heightEnd - heightStart;
    radius = RoundToFix((std::sqrt(half * half + rise * rise) + 1.0f) * FixOne);
    centreX = positionX;
    centreY = positionY;
    centreZ = RoundToFix((heightStart + heightEnd) / 2.0f * FixOne);
}

int CrowdObject::SlotCount() const
{
    const float slots = width / CrowdSlotWidth;
    if (!(slots >= 1.0f)) {
        return 0;
    }
    return slots >= static_cast<float>(MaxCrowdSlots) ? MaxCrowdSlots : static_cast<int>(slots);
}

void CrowdObject::FillSlots(float density)
{
    FreeFigures();
    const int n = SlotCount();
    if (!(density > 0.0f)) {
        density = 0.0f;
    } else if (density > 1.0f) {
        density = 1.0f;
    }
    const uint32_t threshold = static_cast<uint32_t>(std::lround(density * 100.0f));

    // First pass: which slots are filled. A row that fills none, or a program
    // without humans, is left n steps on, where the second pass would end.
    const uint32_t start = SharedRandom;
    int filled = 0;
    for (int i = 0; i < n; ++i) {
        if (StepSharedRandom() % 100 < threshold) {
            ++filled;
        }
    }
    const FigureHumanSystem *humans = GetFigureHumanSystem();
    if (filled == 0 || !humans) {
        return;
    }
    figures = new DriverFigure[filled];
    SharedRandom = start;

    const float spacing = width / static_cast<float>(n);
    FixMatrix turn;
    FixRotationZ(turn, AngleFromRadians(heading));
    const int recordCount = humans->RecordCount();
    for (int i = 0; i < n; ++i) {
        const uint32_t r = PeekSharedRandom();
        if (r % 100 < threshold) {
            const float f = (static_cast<float>(i) + 0.5f) / static_cast<float>(n);
            const int record = ScanFrom(StepSharedRandom(), recordCount, [&](int k) {
                return (humans->RecordFlags(k) & FigureRecordCrowdBody) != 0;
            });
            if (record >= 0) {
                const float scale = humans->RecordSize(record) +
                                    static_cast<float>(static_cast<int>(StepSharedRandom() % 201) - 100) * 0.001f;
                const float v = (sizeStart + (sizeEnd - sizeStart) * f) / scale;
                const int blockCount = humans->BlockCount(record);
                int block = -1;
                if (blockCount > 0) {
                    block = ScanFrom(StepSharedRandom(), blockCount,
                                     [&](int b) { return BlockSuits(humans->Block(record, b), poseGroup, v); });
                }

                DriverFigure &figure = figures[figureCount++];
                figure.SetRecord(*humans, record);
                const FixVector local = {
                    RoundToFix((static_cast<float>(i) * spacing - width / 2.0f + spacing / 2.0f) * FixOne), 0,
                    RoundToFix((heightStart + (heightEnd - heightStart) * f) * FixOne)};
                FixVector turned;
                TransformFixVector(turn, local, turned);
                figure.transform.position = {turned.x + positionX, turned.y + positionY, turned.z};
                for (int k = 0; k < 9; ++k) {
                    figure.transform.matrix.m[k] = RoundToFix(static_cast<float>(turn.m[k]) * scale);
                }
                if (block < 0) {
                    figure.CopyKeys(*humans, nullptr);
                } else {
                    const FigureBlock chosen = humans->Block(record, block);
                    if ((chosen.flags & FigureBlockTwoClips) && chosen.keys[0] && chosen.keys[1] && figure.keys) {
                        humans->BlendPoses(record, chosen.keys[0], chosen.keys[1],
                                           (v - chosen.low) / (chosen.high - chosen.low), figure.keys);
                    } else {
                        figure.CopyKeys(*humans, chosen.keys[0]);
                    }
                }
            }
        }
        // Every slot takes exactly one step of the row's sequence.
        SharedRandom = r;
    }
}

void CrowdObject::FreeFigures()
{
    delete[] figures;
    figures = nullptr;
    figureCount = 0;
}

void World::CreateFigures()
{
    // Crowds first, then figure objects, each in object order: the order in
    // which they draw from SharedRandom.
    for (int i = 0; i < objectCount; ++i) {
        if (objects[i] && objects[i]->GetType() == ObjectCrowd) {
            static_cast<CrowdObject *>(objects[i])->FillSlots(crowdDensity);
        }
    }
    for (int i = 0; i < objectCount; ++i) {
        if (objects[i] && objects[i]->GetType() == ObjectFigure) {
            static_cast<FigureObject *>(objects[i])->CreateFigure();
        }
    }
    // The three marshal figures: figure i takes the first pose of group bit
    // 0, 8 or 9, else the first of group bit 0, else the rest pose.
    static const int poseBits[WorldFigureCount] = {0, 8, 9};
    const FigureHumanSystem *humans = GetFigureHumanSystem();
    const int record = humans ? FindWorldFigure(*humans) : -1;
    for (int i = 0; i < WorldFigureCount; ++i) {
        DriverFigure &figure = figures[i];
        figure.Free();
        if (record < 0) {
            continue;
        }
        figure.SetRecord(*humans, record);
        const int blockCount = humans->BlockCount(record);
        int chosen = -1;
        for (int b = 0; b < blockCount && chosen < 0; ++b) {
            if ((humans->Block(record, b).groupMask >> poseBits[i]) & 1u) {
                chosen = b;
            }
        }
        for (int b = 0; b < blockCount && chosen < 0; ++b) {
            if (humans->Block(record, b).groupMask & 1u) {
                chosen = b;
            }
        }
        figure.CopyKeys(*humans, chosen >= 0 ? humans->Block(record, chosen).keys[0] : nullptr);
    }
}

void World::ReleaseFigures()
{
    for (int i = 0; i < objectCount; ++i) {
        if (!objects[i]) {
            continue;
        }
        if (objects[i]->GetType() == ObjectCrowd) {
            static_cast<CrowdObject *>(objects[i])->FreeFigures();
        } else if (objects[i]->GetType() == ObjectFigure) {
            static_cast<FigureObject *>(objects[i])->FreeFigure();
        }
    }
    for (DriverFigure &figure : figures) {
        figure.Free();
    }
}
