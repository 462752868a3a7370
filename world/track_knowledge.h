#pragma once

class World;

// The learned driving lines of a closed knowledge path, kept between runs in
// "data\knw\<track code>.trs" (id "QZTRST", version 246): u32 node count, then
// per node three (f32 offset, f32 weight) pairs.
constexpr const char *TrackKnowledgeId = "QZTRST";
constexpr int TrackKnowledgeVersion = 246;

// The file name of the selected configuration and direction.
void MakeTrackKnowledgeFileName(const World *world, char *path, int size);
// With a config selected and a closed knowledge path: the file's offsets and
// weights, or the defaults (-1, 0, 1, weight 0) when the file is missing, of
// a later version, damaged, or written for another node count ("Path info
// changed").
void ReadTrackKnowledge(World *world);
// With a config selected and a closed knowledge path: writes the file; when
// it cannot be created its name is printed as a warning.
void WriteTrackKnowledge(const World *world);
