#include "agent/efuse.h"

#include <bit>
#include <cstring>

namespace vq::agent {

namespace {
constexpr std::uint32_t kControl = 0x580;
constexpr std::uint32_t kData = 0x590;
constexpr std::uint32_t kBusy = 1u << 30;

bool ValidMapByte(std::uint8_t b, unsigned m) {
    if ((b & 0x3F) != m) return false;
    const bool p6 = std::popcount(m & 0x0F) % 2 == 0;
    const bool p7 = std::popcount((m >> 2) & 0x0F) % 2 == 0;
    return bool(b & 0x40) == p6 && bool(b & 0x80) == p7;
}
} // namespace

int EfuseDevice::Lookup(unsigned logicalBlock) const {
    if (logicalBlock >= 32) return -1;
    for (int a = kFirstMapByte; a <= kLastMapByte; ++a)
        if (fuse[a] != 0 && ValidMapByte(fuse[a], logicalBlock)) return a - kFirstMapByte;
    return -1;
}

std::uint16_t EfuseDevice::LogicalWord(unsigned offset) const {
    const int block = Lookup((offset / 16) & 0x3F);
    if (block < 0) return 0xFFFF;
    const unsigned p = unsigned(block) * 16 + (offset & 0xE);
    return std::uint16_t(fuse[p] | (fuse[p + 1] << 8));
}

void EfuseDevice::Reset(BoardModel&) {
    std::memset(fuse, 0, sizeof fuse);
    std::memset(data_, 0, sizeof data_);
    control_ = 0;
    busyLeft_ = 0;
    logicalReads = physicalReads = physicalWrites = 0;
}

// Register group g (0x590 + 4g) holds block bytes 12 - 4g .. 15 - 4g, byte k
// of the group at bits 8k.
void EfuseDevice::Start(std::uint32_t control) {
    const unsigned base = (control >> 16) & 0x3F0;
    const unsigned op = (control >> 6) & 3;
    auto load = [this](unsigned from) {
        for (int g = 0; g < 4; ++g) {
            const unsigned p = from + 12 - 4 * g;
            data_[g] = std::uint32_t(fuse[p]) | (fuse[p + 1] << 8) | (fuse[p + 2] << 16) |
                       (std::uint32_t(fuse[p + 3]) << 24);
        }
    };
    control &= ~kBusy;
    switch (op) {
    case 0: { // logical read: result block in bits 0..5
        ++logicalReads;
        const int block = Lookup(base / 16);
        control &= ~0x3Fu;
        if (block < 0) {
            control |= 0x3F;
        } else {
            control |= unsigned(block);
            load(unsigned(block) * 16);
        }
        break;
    }
    case 1: // physical read
        ++physicalReads;
        load(base);
        break;
    case 3: { // physical write: program the 1 bits of the data registers
        ++physicalWrites;
        if (failingBlocks.count(int(base / 16))) break;
        for (int g = 0; g < 4; ++g) {
            const unsigned p = base + 12 - 4 * g;
            for (int k = 0; k < 4; ++k)
                fuse[p + k] |= std::uint8_t(data_[g] >> (8 * k));
        }
        break;
    }
    default:
        break;
    }
    control_ = control | (busyReads > 0 ? kBusy : 0);
    busyLeft_ = busyReads;
}

bool EfuseDevice::MacRead(BoardModel&, std::uint32_t address, std::uint32_t& value) {
    if (address == kControl) {
        value = control_;
        if (busyLeft_ > 0 && --busyLeft_ == 0) control_ &= ~kBusy;
        return true;
    }
    if (address >= kData && address <= kData + 12 && (address & 3) == 0) {
        value = data_[(address - kData) / 4];
        return true;
    }
    return false;
}

bool EfuseDevice::MacWrite(BoardModel&, std::uint32_t address, std::uint32_t value) {
    if (address == kControl) {
        if (value & kBusy)
            Start(value);
        else
            control_ = value;
        return true;
    }
    if (address >= kData && address <= kData + 12 && (address & 3) == 0) {
        data_[(address - kData) / 4] = value;
        return true;
    }
    return false;
}

} // namespace vq::agent
