#include "scene/human_file.h"

#include "core/data_stream.h"

HumanSystem Humans;

namespace {

constexpr int JointFileSize = 44;
constexpr int LinkFileSize = 48;
constexpr int KeyFileSize = 48;
constexpr int ClipHeaderSize = 12;
constexpr int BlockHeaderSize = 24;
// Smallest stored model: density and four counts.
constexpr int ModelMinimumSize = 20;
// Smallest stored body part before its object: flags, model index, value.
constexpr int BodyPartHeaderSize = 12;

// True when count records of recordSize bytes can still be in the stream.
bool Fits(const DataStream &stream, uint32_t count, int64_t recordSize)
{
    return static_cast<int64_t>(count) * recordSize <= stream.Remaining();
}

void SetIdentity(FixTransform &key)
{
    key = FixTransform{};
    key.matrix.m[0] = 65536;
    key.matrix.m[4] = 65536;
    key.matrix.m[8] = 65536;
}

void SkipBytes(DataStream &stream, int n)
{
    for (int i = 0; i < n; ++i) {
        stream.ReadU8();
    }
}

void ReadJoint(HumanJoint &joint, DataStream &stream)
{
    joint.flags = stream.ReadU32();
    for (float &h : joint.halfSize) {
        h = stream.ReadFloat();
    }
    for (int32_t &p : joint.position) {
        p = static_cast<int32_t>(stream.ReadU32());
    }
    for (float &a : joint.angles) {
        a = stream.ReadFloat();
    }
    stream.ReadBytes(joint.colour, 4);
}

void ReadLink(HumanLink &link, DataStream &stream)
{
    link.kind = stream.ReadU32();
    link.flags = stream.ReadU32();
    for (int32_t &p : link.anchor) {
        p = static_cast<int32_t>(stream.ReadU32());
    }
    for (float &a : link.angles) {
        a = stream.ReadFloat();
    }
    link.limits[0] = stream.ReadFloat();
    link.limits[1] = stream.ReadFloat();
    link.joints[0] = stream.ReadU32();
    link.joints[1] = stream.ReadU32();
}

int ReadBlock(AnimationBlock &block, DataStream &stream, int jointCount, int version)
{
    block.flags = stream.ReadU32();
    block.value = stream.ReadU32();
    stream.ReadBytes(block.bytes, 16);
    block.extra[0] = 0.0f;
    block.extra[1] = 1.0f;
    if (!block.clips[0].Read(stream, jointCount, version)) {
        return 0;
    }
    if (block.flags & BlockTwoClips) {
        if (!block.clips[1].Read(stream, jointCount, version)) {
            return 0;
        }
        block.extra[0] = stream.ReadFloat();
        block.extra[1] = stream.ReadFloat();
    }
    return stream.overrun ? 0 : 1;
}

}  // namespace

int AnimTrack::Read(DataStream &stream, int jointCount, int keysInFile, int version)
{
    (void)version;
    value = stream.ReadFloat();
    keys = new FixTransform[jointCount > 0 ? jointCount : 1];
    for (int i = 0; i < jointCount; ++i) {
        if (i < keysInFile) {
            keys[i].Read(stream);
        } else {
            SetIdentity(keys[i]);
        }
    }
    // Keys for joints the figure does not have: dropped, so that what
    // follows is read in step.
    for (int i = jointCount; i < keysInFile; ++i) {
        SkipBytes(stream, KeyFileSize);
    }
    return stream.overrun ? 0 : 1;
}

AnimClip::AnimClip()
{
    tracks = nullptr;
    Reset();
}

void AnimClip::Reset()
{
    flags = 0;
    value = 1.0f;
    trackCount = 0;
    secondCount = 0;
    tracks = nullptr;
}

int AnimClip::Read(DataStream &stream, int jointCount, int version)
{
    flags = stream.ReadU32();
    value = stream.ReadFloat();
    const int count = stream.ReadU16() & 0xFFFF;
    const int keysInFile = stream.ReadU16() & 0xFFFF;
    secondCount = 0;
    trackCount = 0;
    tracks = nullptr;
    if (stream.overrun || !Fits(stream, static_cast<uint32_t>(count), 4 + int64_t(keysInFile) * KeyFileSize)) {
        return 0;
    }
    if (count == 0) {
        return 1;
    }
    tracks = new AnimTrack[count];
    for (int i = 0; i < count; ++i) {
        tracks[i].keys = nullptr;
    }
    trackCount = static_cast<uint16_t>(count);
    for (int i = 0; i < count; ++i) {
        if (!tracks[i].Read(stream, jointCount, keysInFile, version)) {
            Free();
            return 0;
        }
    }
    return 1;
}

void AnimClip::Free()
{
    if (tracks) {
        for (int i = 0; i < trackCount; ++i) {
            delete[] tracks[i].keys;
        }
        delete[] tracks;
    }
    Reset();
}

CharacterModel::CharacterModel()
{
    density = 1000.0f;
    jointCount = 0;
    joints = nullptr;
    linkCount = 0;
    links = nullptr;
    blockCount = 0;
    blocks = nullptr;
}

int CharacterModel::WeightedJointCount() const
{
    int count = 0;
    for (uint32_t i = 0; i < jointCount; ++i) {
        count += (joints[i].flags & JointPaired) ? 2 : 1;
    }
    return count;
}

int CharacterModel::Read(DataStream &stream, int version)
{
    density = stream.ReadFloat();

    const uint32_t storedJoints = stream.ReadU32();
    if (stream.overrun || storedJoints == 0 || !Fits(stream, storedJoints, JointFileSize)) {
        Free();
        return 0;
    }
    joints = new HumanJoint[storedJoints];
    jointCount = storedJoints;
    uint32_t body = 0;
    for (uint32_t i = 0; i < jointCount; ++i) {
        ReadJoint(joints[i], stream);
        joints[i].firstBody = body;
        body += (joints[i].flags & JointPaired) ? 2 : 1;
    }
    const int weighted = WeightedJointCount();
    if (weighted < MinWeightedJoints) {
        Free();
        return 0;
    }

    const uint32_t storedLinks = stream.ReadU32();
    if (stream.overrun || !Fits(stream, storedLinks, LinkFileSize)) {
        Free();
        return 0;
    }
    if (storedLinks > 0) {
        links = new HumanLink[storedLinks];
        linkCount = storedLinks;
    }
    uint32_t record = 0;
    for (uint32_t i = 0; i < linkCount; ++i) {
        ReadLink(links[i], stream);
        links[i].firstLinkRecord = record;
        record += (links[i].flags & LinkPaired) ? 2 : 1;
        // A link to a joint the model does not have could not be built.
        if (links[i].joints[0] >= jointCount || links[i].joints[1] >= jointCount) {
            Free();
            return 0;
        }
    }

    const uint32_t clipCount = stream.ReadU32();
    if (stream.overrun || clipCount > static_cast<uint32_t>(AnimClipSlots)) {
        Free();
        return 0;
    }
    for (uint32_t i = 0; i < clipCount; ++i) {
        if (!clips[i].Read(stream, weighted, version)) {
            Free();
            return 0;
        }
    }

    const uint32_t storedBlocks = stream.ReadU32();
    if (stream.overrun || !Fits(stream, storedBlocks, BlockHeaderSize + ClipHeaderSize)) {
        Free();
        return 0;
    }
    if (storedBlocks > 0) {
        blocks = new AnimationBlock[storedBlocks];
        blockCount = storedBlocks;
    }
    for (uint32_t i = 0; i < blockCount; ++i) {
        if (!ReadBlock(blocks[i], stream, weighted, version)) {
            Free();
            return 0;
        }
    }
    if (stream.overrun) {
        Free();
        return 0;
    }
    return 1;
}

void CharacterModel::Free()
{
    delete[] joints;
    delete[] links;
    for (AnimClip &clip : clips) {
        clip.Free();
    }
    if (blocks) {
        for (uint32_t i = 0; i < blockCount; ++i) {
            blocks[i].clips[0].Free();
            blocks[i].clips[1].Free();
        }
        delete[] blocks;
    }
    *this = CharacterModel();
}

int HumanSystem::Load(MenuPage *page)
{
    if (loaded) {
        return 1;
    }
    if (!ReadFile(HumanFilePath, page)) {
        Free();
        return 0;
    }
    loaded = 1;
    return 1;
}

int HumanSystem::ReadFile(const char *path, MenuPage *page)
{
    DataStream stream;
    int version = 0;
    if (stream.OpenRead(page, path, HumanFileId, &version, HumanFileVersion, 0)) {
        return 0;
    }
    const int read = Read(stream, version) && !stream.overrun;
    stream.Close();
    return read;
}

int HumanSystem::Read(DataStream &stream, int version)
{
    const uint32_t parts = stream.ReadU32();
    if (stream.overrun || !Fits(stream, parts, BodyPartHeaderSize)) {
        return 0;
    }
    if (parts > 0) {
        bodyParts = new BodyPart[parts];
        for (uint32_t i = 0; i < parts; ++i) {
            InitObject3D(&bodyParts[i].object);
        }
        bodyPartCount = static_cast<int>(parts);
    }
    for (int i = 0; i < bodyPartCount; ++i) {
        BodyPart &part = bodyParts[i];
        part.flags = stream.ReadU32();
        part.modelIndex = stream.ReadU32();
        part.value = stream.ReadFloat();
        if (!ReadObject3D(&part.object, &stream, version, 0, 0, 1, nullptr)) {
            return 0;
        }
    }

    const uint32_t storedModels = stream.ReadU32();
    if (stream.overrun || !Fits(stream, storedModels, ModelMinimumSize)) {
        return 0;
    }
    if (storedModels > 0) {
        models = new CharacterModel[storedModels];
        modelCount = static_cast<int>(storedModels);
    }
    for (int i = 0; i < modelCount; ++i) {
        if (!models[i].Read(stream, version)) {
            return 0;
        }
    }
    // Every body part is skinned to a model of this file.
    for (int i = 0; i < bodyPartCount; ++i) {
        if (bodyParts[i].modelIndex >= static_cast<uint32_t>(modelCount)) {
            return 0;
        }
    }
    return stream.overrun ? 0 : 1;
}

void HumanSystem::Free()
{
    for (int i = 0; i < bodyPartCount; ++i) {
        FreeObject3D(&bodyParts[i].object);
    }
    delete[] bodyParts;
    for (int i = 0; i < modelCount; ++i) {
        models[i].Free();
    }
    delete[] models;
    loaded = 0;
    modelCount = 0;
    models = nullptr;
    bodyPartCount = 0;
    bodyParts = nullptr;
}
