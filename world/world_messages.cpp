#include "world/world_messages.h"

#include <cstdio>

namespace {

WorldMessagePrinter Printer = nullptr;

} // namespace

void SetWorldMessagePrinter(WorldMessagePrinter printer)
{
    Printer = printer;
}

void WorldPrintMessage(const char *text, int colour)
{
    if (Printer) {
        Printer(text, colour);
    }
}

void WorldPrintMessageArg(const char *format, int value, int colour)
{
    char text[128];
    snprintf(text, sizeof text, format, value);
    WorldPrintMessage(text, colour);
}
