#include "audio/sound_links.h"

#include <cstdio>

#include "core/colour.h"
#include "vehicle/car_race_services.h"

namespace {

SoundSessionLink Session = {};
SoundTextLink Text = {};

int Read(int (*get)())
{
    return get != nullptr ? get() : 0;
}

}  // namespace

void SetSoundSessionLink(const SoundSessionLink &link)
{
    Session = link;
}

int SoundSessionFastForward()
{
    return Read(Session.fastForward);
}

int SoundSessionModeWord()
{
    return Read(Session.modeWord);
}

int SoundSessionRaceVoteCountdown()
{
    return Read(Session.raceVoteCountdown);
}

int SoundSessionSystemMessageSetting()
{
    return Read(Session.systemMessageSetting);
}

void SetSoundTextLink(const SoundTextLink &link)
{
    Text = link;
}

void SoundPrintMessageLatinTail(const char *text, const char *tail, int colour)
{
    if (Text.printMessageLatinTail != nullptr) {
        Text.printMessageLatinTail(text, tail, colour);
        return;
    }
    char line[512];
    std::snprintf(line, sizeof(line), "%s %s", text, tail);
    RacePrintMessage(line, colour);
}

void SoundShowTextBoxLatinTail(MenuPage *page, const char *text, const char *tail)
{
    if (page != nullptr && Text.showTextBoxLatinTail != nullptr) {
        Text.showTextBoxLatinTail(page, text, tail);
        return;
    }
    SoundPrintMessageLatinTail(text, tail, ColourSalmon);
}
