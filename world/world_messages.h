#pragma once

// The world's message lines. The world library sits below the interface
// layer, so the interface registers its printer at start-up; until then (and
// in tests that register nothing) the lines go nowhere.
//
// colour is a MessageColour (core/colour.h): ColourSalmon for warnings,
// ColourLightGrey for information.
using WorldMessagePrinter = void (*)(const char *text, int colour);
void SetWorldMessagePrinter(WorldMessagePrinter printer);

void WorldPrintMessage(const char *text, int colour);
// WorldPrintMessage of a printf text with one int value.
void WorldPrintMessageArg(const char *format, int value, int colour);
