#pragma once

// Seeds of the targets that read received records and packets: written by
// the project's own senders from cars and a layout on the default data set
// (which must be in the working folder).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using SeedSink = std::function<void(const char *target, const std::string &name, const std::vector<uint8_t> &bytes)>;
void WriteRecordSeeds(const SeedSink &sink);
