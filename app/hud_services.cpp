// The head-up display's entries in the game session's scene links.
#include "app/hud_services.h"

#include "core/settings.h"
#include "race/session_links.h"
#include "scene/hud.h"

namespace {

void DrawSessionHud(CarObject *viewedCar, CarObject *drivenCar, MenuPage *owner, int replayBar)
{
    DrawHud(viewedCar, drivenCar, 0, owner, replayBar != 0 ? DrawReplayBar : nullptr);
}

void DrawSessionSystemCaption()
{
    DrawSystemCaption(PackRgb(SplitTextColour.red, SplitTextColour.green, SplitTextColour.blue));
}

}  // namespace

void RegisterHudServices()
{
    SessionLinks.drawHud = DrawSessionHud;
    SessionLinks.drawFrameRateReadout = DrawFrameRateReadout;
    SessionLinks.drawSystemCaption = DrawSessionSystemCaption;
    SessionLinks.initHudState = InitHudState;
    SessionLinks.countHudHolds = CountHudHolds;
}
