#include "screens/track_sites.h"

#include "core/text_utils.h"

const TrackSite SiteTable[TrackSiteCount] = {};

int FindTrackSite(const char *name, int *recordsFlag)
{
    const int index = TrackSiteIndex(name);
    if (index >= 0 && recordsFlag) {
        *recordsFlag = SiteTable[index].recordsFlag;
    }
    return index;
}

int TrackSiteIndex(const char *name)
{
    if (!name) {
        return -1;
    }
    for (int i = 0; i < TrackSiteCount; ++i) {
        if (SiteTable[i].name && EqualsNoCase(SiteTable[i].name, name)) {
            return i;
        }
    }
    return -1;
}
