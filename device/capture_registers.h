// The chip's baseband capture engine as the MAC space shows it: control
// register 0x440 (source, trigger offset, arm, forced trigger, end pointer).
#pragma once

#include <cstdint>

namespace vq {

constexpr std::uint32_t kCaptureControl = 0x440;
constexpr std::uint32_t kCaptureArm = 0x40000000;

} // namespace vq
