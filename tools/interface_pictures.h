#pragma once

// Writes the interface's pictures into data/pic: the large and small button
// faces ("BUTTALPHA" and "SMLBALPHA": a white colour file and an alpha file
// with one rounded corner per quadrant and full coverage in the middle) and
// the language icons ("LANGICONS": 256 x 256, cells of 48 x 32, five a row;
// icon 0 English, icon n + 1 language n) and the start-light lamp
// ("STARTALPHA": a round lamp on a transparent square). Returns null, or the text of what
// went wrong.
const char *WriteInterfacePictures(const char *runFolder);
