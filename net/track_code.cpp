#include "net/track_code.h"

#include "core/settings.h"
#include "core/text_utils.h"
#include "world/track_sites.h"

void SetDefaultTrack()
{
    CopyString(MapName, SiteTable[DefaultTrackSite].name, sizeof(MapName));
    TrackConfig = 1;
    TrackFlip = 0;
    TrackLighting = 0;
}
