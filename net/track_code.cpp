#include "net/track_code.h"

// No track sites are known yet, so there is no default track to choose and
// the track settings stay as they are.
void SetDefaultTrack()
{
}
