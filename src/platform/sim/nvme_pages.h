#pragma once
// What a simulated NVMe drive answers: its Identify Controller data and its SMART / Health
// Information log, laid out as the NVMe standard defines them.
#include <array>
#include <cstdint>

#include "platform/sim/machine_description.h"
#include "platform/storage_query.h"

namespace platform::sim {

using NvmeIdentifyPage = std::array<std::uint8_t, kNvmeIdentifyBytes>;
using NvmeHealthPage = std::array<std::uint8_t, kNvmeHealthLogBytes>;

NvmeIdentifyPage nvmeIdentifyPage(const DriveSpec& drive);
NvmeHealthPage nvmeHealthPage(const DriveSpec& drive);

}  // namespace platform::sim
