// A 3D object file (body objects, wheels, scenery objects), read as a car's
// body object is, with the car-specific textures of a car code.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "render/object_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *path = FuzzWriteFile("data\\veh\\FZ.vob", data, size);
    for (int resetOrientation = 0; resetOrientation < 2; ++resetOrientation) {
        Object3D object;
        InitObject3D(&object);
        ReadObjectFile(&object, nullptr, path, resetOrientation, resetOrientation ? "XFG" : nullptr);
        FreeObject3D(&object);
    }
    FuzzRemoveFile(path);
    return 0;
}
