#include "race/race_links.h"

RaceLinkServices RaceLinks = {};

void RacePrint(const char *text, int kind)
{
    if (RaceLinks.printMessage != nullptr) {
        RaceLinks.printMessage(text, kind);
    }
}

void RaceShowDialog(MenuPage *owner, const char *title, const char *text)
{
    if (RaceLinks.showDialog != nullptr) {
        RaceLinks.showDialog(owner, title, text);
    }
}

void RaceSound(int sound)
{
    if (RaceLinks.playInterfaceSound != nullptr) {
        RaceLinks.playInterfaceSound(sound);
    }
}

void RaceVoice(int voice)
{
    if (RaceLinks.queueVoice != nullptr) {
        RaceLinks.queueVoice(voice);
    }
}

void RaceQueuePacket(const uint8_t *bytes, int length)
{
    if (RaceLinks.queueGamePacket != nullptr) {
        RaceLinks.queueGamePacket(bytes, length);
    }
}

void RaceFlushBatch()
{
    if (RaceLinks.flushGameBatch != nullptr) {
        RaceLinks.flushGameBatch();
    }
}

uint32_t RaceNetworkFrame()
{
    return RaceLinks.networkFrame != nullptr ? RaceLinks.networkFrame() : 0;
}

int RaceOwnConnection()
{
    return RaceLinks.ownConnection != nullptr ? RaceLinks.ownConnection() : 0;
}

int RaceConnectionCount()
{
    return RaceLinks.connectionCount != nullptr ? RaceLinks.connectionCount() : 1;
}

const char *RaceConnectionName(int connection)
{
    return RaceLinks.connectionName != nullptr ? RaceLinks.connectionName(connection) : nullptr;
}

int RaceSingleReplayPlaying()
{
    return RaceLinks.singleReplayPlaying != nullptr ? RaceLinks.singleReplayPlaying() : 0;
}

int RaceLessonRunning()
{
    return RaceLinks.lessonRunning != nullptr ? RaceLinks.lessonRunning() : 0;
}
