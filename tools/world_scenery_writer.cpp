#include "tools/world_scenery_writer.h"

namespace {

void WriteHeaderOfType(WorldWriter &out, int version, const WorldObjectHeader &header, int type)
{
    WorldObjectHeader own = header;
    own.type = type;
    WriteObjectHeader(out, version, own);
}

} // namespace

void WriteWindRotor(WorldWriter &out, int version, const WorldObjectHeader &header, const WindRotorFields &rotor)
{
    WriteHeaderOfType(out, version, header, ObjectWindRotor);
    out.F32(rotor.height).U32(rotor.unused).U32(rotor.duplicator);
}

void WriteFigure(WorldWriter &out, int version, const WorldObjectHeader &header, const FigureFields &figure)
{
    WriteHeaderOfType(out, version, header, ObjectFigure);
    out.U32(figure.flags).F32(figure.heading).F32(figure.height);
}

void WriteTree(WorldWriter &out, int version, const WorldObjectHeader &header, const TreeFields &tree)
{
    WriteHeaderOfType(out, version, header, ObjectTree);
    out.U32(tree.leafTexture).U32(tree.leafRing).F32(tree.trunkLength).F32(tree.trunkRadius);
    out.F32(tree.lengthFactor).U32(tree.spread).U32(tree.seed).U32(tree.leafCount);
    out.F32(tree.leafSize).F32(tree.leafHeight).F32(tree.baseHeight).U32(tree.unused).U32(tree.flags);
    out.Rgba(tree.trunkColour).Rgba(tree.leafColour);
}

void WriteCrowd(WorldWriter &out, int version, const WorldObjectHeader &header, const CrowdFields &crowd)
{
    WriteHeaderOfType(out, version, header, ObjectCrowd);
    out.U32(crowd.flags).U32(crowd.poseGroup).F32(crowd.heading).F32(crowd.width);
    out.F32(crowd.heightStart).F32(crowd.heightEnd).F32(crowd.sizeStart).F32(crowd.sizeEnd);
}

void WriteFlag(WorldWriter &out, int version, const WorldObjectHeader &header, const FlagFields &flag)
{
    WriteHeaderOfType(out, version, header, ObjectFlag);
    out.U32(flag.flags).F32(flag.poleHeight).F32(flag.width).F32(flag.height).U16(flag.surface).U16(0);
}
