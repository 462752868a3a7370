#pragma once

// Splits a command line ("/word argument" or "/word=argument"): copies the
// word that follows the first character into out, up to a zero, '=' or blank,
// at most max - 1 characters (a longer word is cut and the rest of it
// dropped), then skips that delimiter and any blanks and returns the rest of
// the line. An empty or null line gives an empty word and an empty rest.
const char *GetCommandWord(int max, char *out, const char *line);
