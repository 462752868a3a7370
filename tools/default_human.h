#pragma once

// Writes the human system data/hmn/hmn.hmn under the run folder: one
// character model (a seated driver of 31 joint bodies with its links and a
// standing pose for the figures beside the track) and one body part, a box
// mesh skinned to the joint bodies. Returns null, or the text of what went
// wrong.
const char *WriteHumanFile(const char *runFolder);
