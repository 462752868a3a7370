#pragma once

// Builds the program's font file, data/abc/kzv.abc under the run folder, from
// the DejaVu Sans outlines and the C library's code-page converters. Returns
// null, or the text of what went wrong.
const char *WriteFontFile(const char *runFolder);
