#include "net/downloader.h"

// No transfers run yet, so no skin is ever waiting.

void InitDownloader()
{
}

bool IsDownloadedSkinReady()
{
    return false;
}

void PollDownloader()
{
}
