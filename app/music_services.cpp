#include "app/music_services.h"

#include <cstdio>

#include "audio/interface_sound.h"
#include "audio/music_links.h"
#include "audio/music_player.h"
#include "core/colour.h"
#include "race/race_links.h"
#include "race/session_links.h"
#include "scene/hud.h"
#include "ui/message_lines.h"

namespace {

void PrintMusicWarning(const char *text)
{
    PrintMessage(text, &MessageColours[ColourSalmon]);
    PlayInterfaceSound(SoundError);
}

void PrintMusicInfoBeep(const char *text)
{
    PrintMessage(text, &MessageColours[ColourLightGrey]);
    PlayInterfaceSound(SoundMessage);
}

void PrintMusicLoadError(const char *path)
{
    char line[MessageTextSize];
    std::snprintf(line, sizeof(line), "Could not load : ^L%s", path);
    PrintMessage(line, &MessageColours[ColourSalmon]);
}

void ShowMusicHudMessage(const char *text, int colour)
{
    if (colour < 0 || colour >= MessageColourCount) {
        colour = ColourLightGrey;
    }
    ShowHudMessage(text, &MessageColours[colour]);
}

}  // namespace

void RegisterMusicServices()
{
    MusicLink link{};
    link.printWarning = PrintMusicWarning;
    link.printInfoBeep = PrintMusicInfoBeep;
    link.printLoadFileError = PrintMusicLoadError;
    link.showHudMessage = ShowMusicHudMessage;
    SetMusicLink(link);
    SessionLinks.setMusicContext = SetMusicContext;
}
