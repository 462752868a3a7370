#include "vehicle/car_network_services.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"

CarNetworkServices CarNetwork = {};

namespace {

constexpr uint8_t WrongWayPacketId = 68;   // 'D'
constexpr uint8_t WrongWayReason = 2;
constexpr uint8_t StatisticPacketId = 48;  // '0'
constexpr uint8_t LeavingKicked = 3;
constexpr uint8_t LeavingBanned = 4;

int SlotActionCode(const PlayerSlot *slot) {
    const uint8_t kind = CarNetwork.slotKind != nullptr ? CarNetwork.slotKind(slot) : 0;
    if (kind == 2 || kind == 3)
        return 3;
    return CarNetwork.autoKick != nullptr ? CarNetwork.autoKick() : 0;
}

int SlotConnection(const PlayerSlot *slot) {
    return CarNetwork.slotConnection != nullptr ? CarNetwork.slotConnection(slot) : 0;
}

void BuildNotice(uint8_t packet[4], const PlayerSlot *slot, int action) {
    packet[0] = WrongWayPacketId;
    packet[1] = RaceServices.playerId != nullptr ? RaceServices.playerId(slot) : 0;
    packet[2] = static_cast<uint8_t>(action);
    packet[3] = WrongWayReason;
}

} // namespace

void CarObject::CheckWrongWay() {
    if (CarNetwork.hostRuleFlags != nullptr && (CarNetwork.hostRuleFlags() & RuleCruise) != 0)
        return;
    const uint32_t old = wrongWayCount;
    uint32_t step = 1;
    if (gear != 1) {
        if (inputs[1] > 16384)
            step = 6;
        else if (inputs[1] > 2048)
            step = 3;
    }
    wrongWayCount = old + step;
    const auto crossed = [&](uint32_t level) { return old < level && wrongWayCount >= level; };
    int level = 0;
    if (crossed(60))
        level = 3;
    else if (crossed(45))
        level = 2;
    else if (crossed(15))
        level = 1;
    if (level == 0)
        return;
    PlayerSlot *slot = FindCarSlot(this);
    if (slot == nullptr)
        return;
    if (level == 3) {
        WrongWayAction();
        return;
    }
    uint8_t packet[4];
    BuildNotice(packet, slot, level == 1 ? 0 : SlotActionCode(slot));
    const int connection = SlotConnection(slot);
    if (connection == 0)
        RaceSendReliableToHost(packet, sizeof(packet));
    else if (CarNetwork.sendReliableToConnection != nullptr)
        CarNetwork.sendReliableToConnection(connection, "WARN", packet, sizeof(packet));
}

void CarObject::WrongWayAction() {
    PlayerSlot *slot = FindCarSlot(this);
    if (slot == nullptr)
        return;
    const int action = SlotActionCode(slot);
    uint8_t packet[4];
    BuildNotice(packet, slot, action);
    if (CarNetwork.sendReliableToAll != nullptr)
        CarNetwork.sendReliableToAll(packet, sizeof(packet));
    if (action == 3) {
        if (CarNetwork.sendCarEvent != nullptr)
            CarNetwork.sendCarEvent(this, 0);
        return;
    }
    if (action != 1 && action != 2)
        return;
    const int connection = SlotConnection(slot);
    const int count = CarNetwork.connectionCount != nullptr ? CarNetwork.connectionCount() : 0;
    if (connection < 0 || connection >= count)
        return;
    if (CarNetwork.connectionIsAdmin != nullptr && CarNetwork.connectionIsAdmin(connection) != 0)
        return;
    if (CarNetwork.setConnectionLeaving != nullptr)
        CarNetwork.setConnectionLeaving(connection, action == 1 ? LeavingKicked : LeavingBanned);
    if (action == 2 && CarNetwork.imposeShortBan != nullptr)
        CarNetwork.imposeShortBan(connection);
}

void CarObject::SendDistanceUpdate(PlayerSlot *slot) {
    if (slot == nullptr || !RaceIsOnline() || RaceIsReplayPlayback())
        return;
    if (CarNetwork.slotKind != nullptr && CarNetwork.slotKind(slot) != 0)
        return;
    uint16_t metres = static_cast<uint16_t>(static_cast<uint32_t>(odometer) >> 16);
    const uint8_t litres = static_cast<uint8_t>(static_cast<uint32_t>(fuelUsed) >> 16);
    odometer = 0;
    fuelUsed = 0;
    if (statisticSent == 0 && metres <= 3 && litres == 0)
        return;
    if (metres >= 2048 && metres != 65535)
        metres = 65534;
    statisticSent = 0;
    const uint8_t packet[4] = {StatisticPacketId, litres, static_cast<uint8_t>(metres & 0xFF),
                               static_cast<uint8_t>(metres >> 8)};
    RaceSendReliableToHost(packet, sizeof(packet));
}

int CarObject::ApplyPlayerOptions(const uint8_t *playerRecord) {
    const uint16_t options = static_cast<uint16_t>(playerRecord[34] | (playerRecord[35] << 8));
    autoGears = playerRecord[34] & 0x08u;
    autoClutch = options & 0x200u;
    brakeHelp = playerRecord[34] & 0x40u;
    autoCut = 0;
    autoBlip = 0;
    switch (gearboxKind) {
    case 1:
        if (autoGears != 0)
            autoCut = autoBlip = autoClutch = 1;
        break;
    case 2:
    case 3:
        if (autoGears != 0)
            autoCut = autoClutch = 1;
        break;
    case 4:
        if (autoGears != 0)
            autoClutch = 1;
        break;
    default:
        autoCut = autoBlip = autoClutch = 1;
        break;
    }
    SetMassScaledGains();
    const int kindAlwaysAuto = gearboxKind < 1 || gearboxKind > 4;
    return (autoGears != 0 || kindAlwaysAuto) ? 1 : 0;
}
