// The AI knowledge file (data\knw\<track>_<car>.knw) read as a driver reads
// it, and its line built over a small straight path of the node count it
// must have.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "race/ai_knowledge.h"
#include "world/path.h"

namespace {

constexpr int FuzzNodes = 40;

void MakeStraightPath(Path &path)
{
    path.flags = PathClosedLoop;
    path.nodeCount = FuzzNodes;
    path.nodes = new PathNode[FuzzNodes];
    for (int i = 0; i < FuzzNodes; ++i) {
        PathNode &node = path.nodes[i];
        node.position[1] = i * 5 * 65536;
        node.direction[1] = 1.0f;
        node.leftEdge = -6.0f;
        node.rightEdge = 6.0f;
        node.outerLeft = -9.0f;
        node.outerRight = 9.0f;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::filesystem::create_directories("data/knw");
    const char *name = "data/knw/FZ1_XFG.knw";
    FILE *file = std::fopen(name, "wb");
    if (file == nullptr) {
        return 0;
    }
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    AiKnowledge knowledge;
    if (knowledge.Load(name, FuzzNodes)) {
        Path path;
        MakeStraightPath(path);
        knowledge.Build(path, 0.9f);
    }
    knowledge.Clear();
    std::remove(name);
    return 0;
}
