#include "audio/music_links.h"

#include <cstdio>

#include "core/colour.h"
#include "vehicle/car_race_services.h"

namespace {

MusicLink Link = {};

}  // namespace

void SetMusicLink(const MusicLink &link)
{
    Link = link;
}

void MusicPrintWarning(const char *text)
{
    if (Link.printWarning != nullptr) {
        Link.printWarning(text);
        return;
    }
    RacePrintMessage(text, ColourSalmon);
}

void MusicPrintInfoBeep(const char *text)
{
    if (Link.printInfoBeep != nullptr) {
        Link.printInfoBeep(text);
        return;
    }
    RacePrintMessage(text, ColourLightGrey);
}

void MusicPrintLoadFileError(const char *path)
{
    if (Link.printLoadFileError != nullptr) {
        Link.printLoadFileError(path);
        return;
    }
    char line[256];
    std::snprintf(line, sizeof(line), "Could not load : %s", path);
    RacePrintMessage(line, ColourSalmon);
}

void MusicShowHudMessage(const char *text, int colour)
{
    if (Link.showHudMessage != nullptr) {
        Link.showHudMessage(text, colour);
        return;
    }
    RacePrintMessage(text, colour);
}

int MusicPagesClosing()
{
    return Link.pagesClosing != nullptr ? Link.pagesClosing() : 0;
}
