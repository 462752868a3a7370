#pragma once

struct Object3D;

// The car body objects of the default data set: one low-polygon body per body
// code, in the order of BodyCodes, written as data/veh/<code>.vob.

// Builds the body of body code `bodyIndex` (0..BodyCodeCount-1) into an
// initialised object (freed with FreeObject3D). Returns 1, or 0 for an index
// outside the table.
int BuildBodyObject(int bodyIndex, Object3D *object);

// Writes every body object under the run folder. Returns null, or the text of
// what went wrong.
const char *WriteBodyObjects(const char *runFolder);
