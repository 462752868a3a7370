// The data-file stream over all its sources: the header check of a file, a
// file read byte by byte (mode 0), a whole file loaded (mode 3), a memory
// image (mode 1) and an enciphered image (mode 2). Every source is read to
// its end with the reads chosen by the bytes themselves.
#include <cstdint>
#include <cstring>

#include "core/data_stream.h"
#include "fuzz/fuzz_support.h"

namespace {

// Reads through the stream: each byte read picks the next read, so every
// read function meets every position. Stops at the end of the source.
void ReadThrough(DataStream &stream, size_t size)
{
    uint8_t bytes[64];
    for (size_t steps = 0; steps < size + 8 && stream.Remaining() > 0 && !stream.overrun; ++steps) {
        const int choice = stream.ReadU8();
        switch ((choice < 0 ? 0 : choice) % 7) {
        case 0: stream.ReadU16(); break;
        case 1: stream.ReadU32(); break;
        case 2: stream.ReadFloat(); break;
        case 3: stream.ReadFloatClamped(-1000.0f, 1000.0f); break;
        case 4: stream.ReadBytes(bytes, choice % 64); break;
        case 5: stream.ReadBlock(bytes, choice % 64); break;
        default: stream.ReadU8(); break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *path = FuzzWriteFile("data\\misc\\fuzz.bin", data, size);
    // Once with the input's own id (so the reads run past the header) and
    // once with a fixed one.
    char id[7] = "QZFUZZ";
    std::memcpy(id, data, size < 6 ? size : 6);
    int version = 0;

    DataStream check;
    if (!check.OpenCheckHeader(path, "QZFUZZ", &version, 255)) {
        check.Close();
    }
    for (int stayOnFile = 0; stayOnFile < 2; ++stayOnFile) {
        DataStream stream;
        if (!stream.OpenRead(nullptr, path, id, &version, 65535, stayOnFile)) {
            ReadThrough(stream, size);
            stream.Close();
        }
    }

    DataStream memory;
    memory.OpenMemory(data, size, &version);
    ReadThrough(memory, size);
    memory.Close();

    static const uint32_t key[4] = {0x12345678u, 0x9abcdef0u, 0x0fedcba9u, 0x87654321u};
    DataStream enciphered;
    enciphered.OpenEnciphered(data, size, key);
    ReadThrough(enciphered, size);
    enciphered.Close();

    FuzzRemoveFile(path);
    return 0;
}
