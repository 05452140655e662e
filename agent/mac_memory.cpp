#include "agent/mac_memory.h"

#include <cstring>

namespace vq::agent {

void MacMemoryDevice::CorruptWord(std::uint32_t address, std::uint32_t mask) {
    corrupt_ = mask != 0;
    address_ = address & ~3u;
    mask_ = mask;
}

bool MacMemoryDevice::MacRead(BoardModel& board, std::uint32_t address, std::uint32_t& value) {
    if (!corrupt_ || address != address_) return false;
    value = board.RawMac(address) ^ mask_;
    return true;
}

void MacMemoryDevice::DefaultCis(std::uint8_t image[kCisBytes]) {
    std::memset(image, 0xFF, kCisBytes);
    // Tuple chain: device (memory, 64 KB window), version/product text, function id (network), end.
    static const std::uint8_t tuples[] = {
        0x01, 0x03, 0xD9, 0x01, 0xFF,                                                // CISTPL_DEVICE
        0x15, 0x0C, 0x07, 0x00, 'V',  'Q', 0x00, 'V', 'Q', '9', '4', '4', '7', 0x00, // CISTPL_VERS_1
        0x21, 0x02, 0x06, 0x00, // CISTPL_FUNCID: network adapter
        0xFF,                   // CISTPL_END
    };
    std::memcpy(image, tuples, sizeof tuples);
}

void MacMemoryDevice::Reset(BoardModel& board) {
    std::uint8_t cis[kCisBytes];
    DefaultCis(cis);
    for (std::uint32_t i = 0; i < kCisBytes; i += 4) {
        const std::uint32_t word = std::uint32_t(cis[i]) | (std::uint32_t(cis[i + 1]) << 8) |
                                   (std::uint32_t(cis[i + 2]) << 16) | (std::uint32_t(cis[i + 3]) << 24);
        board.SetRawMac(kCisBase + i, word);
    }
}

void InstallMacMemory(BoardModel& board) {
    auto device = std::make_shared<MacMemoryDevice>();
    device->Reset(board);
    board.AddDevice(device);
}

} // namespace vq::agent
