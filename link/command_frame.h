// Request/response frame of the board's test protocol (ethertype 0x2880).
#pragma once

#include <cstddef>
#include <cstdint>

namespace vq {

constexpr std::size_t kFrameBufferSize = 4122; // 26-byte header + 4096 bytes of payload or status+data
constexpr std::size_t kHeaderSize = 26;
constexpr std::size_t kMaxPayload = kFrameBufferSize - kHeaderSize;
constexpr std::size_t kMinFrameLength = 60; // Ethernet minimum without FCS
constexpr std::uint16_t kEtherType = 0x2880;
constexpr std::uint32_t kMagic = 0x18142880;

// Field offsets.
constexpr std::size_t kOffDestination = 0;
constexpr std::size_t kOffSource = 6;
constexpr std::size_t kOffEtherType = 12;
constexpr std::size_t kOffMagic = 14;
constexpr std::size_t kOffType = 18;
constexpr std::size_t kOffCommandId = 20;
constexpr std::size_t kOffLength = 22;
constexpr std::size_t kOffSequence = 24;
constexpr std::size_t kOffPayload = 26;
constexpr std::size_t kOffStatus = 26;
constexpr std::size_t kOffData = 28;

constexpr std::uint16_t kRequestTypeNormal = 8;
constexpr std::uint16_t kResponseTypeNormal = 0x8008;
constexpr std::uint16_t kRequestTypeInic = 5;
constexpr std::uint16_t kResponseTypeInic = 0x8005;

inline std::uint16_t GetBe16(const std::uint8_t* p) { return std::uint16_t((p[0] << 8) | p[1]); }
inline std::uint32_t GetBe32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}
inline void PutBe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = std::uint8_t(v >> 8);
    p[1] = std::uint8_t(v);
}
inline void PutBe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v >> 24);
    p[1] = std::uint8_t(v >> 16);
    p[2] = std::uint8_t(v >> 8);
    p[3] = std::uint8_t(v);
}
inline std::uint32_t GetLe32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}
inline void PutLe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}

// View of a frame buffer. After a matched receive the header fields of the
// response buffer hold host-order values (see LinkSession::ReceiveResponse);
// status and data stay big-endian.
struct CommandFrame {
    std::uint8_t bytes[kFrameBufferSize];
};

} // namespace vq
