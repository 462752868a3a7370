#pragma once

#include "vehicle/car_setup.h"

struct DataStream;

// The file form of a set-up: field by field, little-endian, with conversions
// from the forms that files of versions 248 to 250 hold. A set-up file holds
// one record; the car data holds a table of named ones.

constexpr const char *SetupFileId = "QZSETT";
constexpr int SetupFileVersion = 251;

// Writes the current form (record version 2, 124 bytes).
void WriteSetupRecord(const CarSetup &setup, DataStream *stream);
// Reads any form from file version 248 on into setup, converts and clamps it;
// the result always has flags bit 7 set. Fields that an old form lacks keep
// the caller's values (then clamped). Returns 1, or 0 for a record version
// above 2 (nothing of setup is changed then).
int ReadSetupRecord(CarSetup *setup, DataStream *stream, int fileVersion);
// The 16-byte name (its last byte always made 0), then ReadSetupRecord.
int ReadNamedSetup(NamedSetup *named, DataStream *stream, int fileVersion);

// Writes a set-up file. Returns 1 when it was written and closed without an
// error, 0 when the file could not be created or a write or the close failed
// (a full disk): the file on disk is then not a saved set-up.
int WriteSetupFile(const CarSetup &setup, const char *path);
// Reads a set-up file into setup. Returns 1, or 0 when the file cannot be
// opened, is older than version 248 (a load error line names it), is later
// than 251, holds an unknown record version or ends early; setup is then
// unchanged.
int ReadSetupFile(CarSetup *setup, const char *path);
