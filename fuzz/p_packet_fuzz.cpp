// Received "P" packets (a car's reset position: path node, lateral offset,
// position): each 24-byte packet of the input is judged against a car on the
// default site's path, as a host judges a joining or reset car.
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "vehicle/car_object.h"
#include "vehicle/car_records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    constexpr size_t PacketSize = sizeof(PositionPacket);
    FuzzCarOnTrack track;
    if (!track.car) {
        return 0;
    }
    for (size_t at = 0; at + PacketSize <= size && at < 64 * PacketSize; at += PacketSize) {
        uint8_t packet[PacketSize];
        std::memcpy(packet, data + at, PacketSize);
        packet[0] = PositionPacketType;
        track.car->CheckPositionPacket(packet, nullptr);
    }
    return 0;
}
