#pragma once

struct Path;

// The AI knowledge files of the default site: for every configuration and
// direction and all 20 cars, "data/knw/<track code>_<car code>.knw" with a
// least-curvature racing line, the car's road set-up values, its tank size,
// lap time and fuel per lap. Needs the car data, body objects and the site
// already written into the run folder. Every file is checked with the
// program's own Load, Build and speed profile. Returns null, or the text of
// what went wrong.
const char *WriteKnowledgeFiles(const char *runFolder);

// The same for one path of the current world (a test's own track): every
// car's file "data/knw/<trackCode>_<car code>.knw" in the current folder.
// Needs the car data and body objects already read.
const char *WriteKnowledgeFilesForPath(const Path &path, const char *trackCode);
