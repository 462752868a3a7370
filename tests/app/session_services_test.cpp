#include "app/simulation_services.h"

#include <gtest/gtest.h>

#include "net/game_batch.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "race/race_object.h"
#include "race/session_clock.h"
#include "world/layout.h"
#include "world/layout_packets.h"

namespace {

int Cleared = 0;

TEST(SessionServices, ALayoutEditOfWorldCodeReachesItsHandlerThroughTheSessionLoop)
{
    const LayoutServices saved = GetLayoutServices();
    RegisterSimulationServices();
    LayoutServices layout = GetLayoutServices();
    layout.inSimSendTiny = [](int subtype) { Cleared += subtype == TinyLayoutCleared ? 1 : 0; };
    SetLayoutServices(layout);
    ResetSessionAsHost();
    Cleared = 0;

    // Without a session the world's own hand-off applies it at the flush.
    SendLayoutClear();
    FlushLayoutGameBatch();
    EXPECT_EQ(Cleared, 1);

    // In a session it goes through the own ring and is applied by the next
    // session frame, as every game packet.
    CreateRaceObject();
    GameSession *session = new GameSession;
    GameSessionPtr = session;
    Cleared = 0;
    SendLayoutClear();
    FlushLayoutGameBatch();
    EXPECT_EQ(Cleared, 0);
    EXPECT_EQ(ConnTable[OwnConnIndex].framesStored, 1u);
    RunSessionFrame();
    EXPECT_EQ(Cleared, 1);

    GameSessionPtr = nullptr;
    delete session;
    DeleteRaceObject();
    ResetSession(0, 0);
    SetLayoutServices(saved);
}

}  // namespace
