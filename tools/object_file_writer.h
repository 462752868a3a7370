#pragma once

#include <cstdint>
#include <vector>

struct DataStream;
struct Object3D;

// Writes 3D object files ("QZEOBJ") of the current version from in-memory
// objects: the form that ReadObjectFile reads back.

// Writes one record and its children; a root also gets its part names.
void WriteObject3D(const Object3D &object, DataStream &stream, int isRoot);
// The same bytes appended to a buffer (objects held inside other records).
void WriteObject3DBytes(const Object3D &object, std::vector<uint8_t> &bytes, int isRoot);

// Writes the object as a file. Returns null, or the text of what went wrong.
const char *WriteObjectFile(const Object3D &object, const char *path);
