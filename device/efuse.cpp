#include "device/efuse.h"

#include "base/format.h"
#include "base/services.h"
#include "device/program_state.h"
#include "device/sequence.h"
#include "link/commands.h"

#include <bit>

namespace vq {

EfuseGeometry EfuseLayout() {
    const ProgramState& st = State();
    // The shell fixes the geometry at start-up; a session that has not been set
    // up yet works with the chip's layout.
    if (st.efuseBlocks <= 0 || st.efuseUpperByte <= st.efuseLowerByte) return {960, 1019, 60};
    return {st.efuseLowerByte, st.efuseUpperByte, st.efuseBlocks};
}

std::uint8_t EfuseMapByte(unsigned logicalBlock) {
    const unsigned m = logicalBlock & 0x3F;
    std::uint8_t b = std::uint8_t(m);
    if (std::popcount(m & 0x0F) % 2 == 0) b |= 0x40;
    if (std::popcount((m >> 2) & 0x0F) % 2 == 0) b |= 0x80;
    return b;
}

namespace {

std::uint32_t DataRegister(std::uint16_t address) {
    return kEfuseData + 0xC - (address & 0xC);
}

// Starts an operation on the block holding `address` and waits for the busy bit
// to clear (at most `polls` reads, 2 ms apart). Returns the control value read last.
std::uint32_t RunOperation(CLinkCommands& dev, std::uint32_t op, std::uint16_t address, int polls) {
    DeviceSequence sequence;
    std::uint32_t ctrl = 0;
    dev.MacRead(kEfuseControl, ctrl);
    ctrl = (ctrl & ~(kEfuseAddressMask | kEfuseOpMask)) | (std::uint32_t(address & 0x3F0) << 16) | op |
           kEfuseBusy;
    dev.MacWrite(kEfuseControl, ctrl);
    // A controller that stays busy is not reported: the last value read is used.
    // A silent board is not waited for.
    for (int i = 0; i < polls && !DeviceSequence::BoardStopped(); ++i) {
        dev.MacRead(kEfuseControl, ctrl);
        if (!(ctrl & kEfuseBusy)) break;
        Sleep(kEfusePollMs);
    }
    return ctrl;
}

void MarkBad(CLinkCommands& dev, int mapAddress) {
    DeviceSequence sequence;
    const std::uint16_t even = std::uint16_t(mapAddress & ~1);
    std::uint16_t w = EfusePhysicalReadWord(dev, even);
    // The high byte of a word keeps its top bit: only bits 8..14 are candidates.
    const int first = (mapAddress & 1) ? 8 : 0;
    const int last = (mapAddress & 1) ? 14 : 7;
    for (int bit = first; bit <= last; ++bit) {
        if (!(w & (1u << bit))) {
            w = std::uint16_t(w | (1u << bit));
            break;
        }
    }
    EfusePhysicalWriteWord(dev, even, w);
}

void WriteMapByte(CLinkCommands& dev, int mapAddress, std::uint8_t value) {
    DeviceSequence sequence;
    const std::uint16_t even = std::uint16_t(mapAddress & ~1);
    std::uint16_t w = EfusePhysicalReadWord(dev, even);
    if (mapAddress & 1)
        w = std::uint16_t((w & 0x00FF) | (value << 8));
    else
        w = std::uint16_t((w & 0xFF00) | value);
    EfusePhysicalWriteWord(dev, even, w);
}

// Logical write of the block holding `offset`: all eight words (`wordIndex` < 0)
// or only word `wordIndex` of `words`.
int WriteLogical(CLinkCommands& dev, std::uint16_t offset, const std::uint16_t words[8], int wordIndex) {
    if (offset >= kEfuseContentBytes) return 1; // the content has 32 logical blocks
    DeviceSequence sequence;
    const EfuseGeometry g = EfuseLayout();
    const unsigned m = offset / 16;
    const std::uint16_t blockOffset = std::uint16_t(offset & ~0xF);

    std::uint16_t merged[8] = {};
    int block = EfuseLookupBlock(dev, blockOffset);
    int mapAddress;
    if (block >= 0) {
        // Mapped: written in place, unless a bit would have to be cleared and no
        // block is left to move to.
        mapAddress = g.lowerByte + block;
        for (int i = 0; i < 8; ++i)
            merged[i] = EfusePhysicalReadWord(dev, std::uint16_t(block * 16 + 2 * i));
        bool clears = false;
        for (int i = 0; i < 8; ++i)
            if ((wordIndex < 0 || i == wordIndex) && (merged[i] & ~words[i])) clears = true;
        if (clears && EfuseFindFreeMapByte(dev) < 0) return 1;
    } else {
        mapAddress = EfuseFindFreeMapByte(dev);
        if (mapAddress < 0) return 1;
        block = mapAddress - g.lowerByte;
        // A fresh block reads as zeros: the other words of the logical block become 0x0000.
        if (wordIndex >= 0)
            for (int i = 0; i < 8; ++i)
                merged[i] = EfusePhysicalReadWord(dev, std::uint16_t(block * 16 + 2 * i));
    }
    for (int i = 0; i < 8; ++i)
        if (wordIndex < 0 || i == wordIndex) merged[i] = words[i];

    for (int pass = 1; pass <= kEfuseMaxPasses; ++pass) {
        const std::uint16_t base = std::uint16_t(block * 16);
        for (int i = 0; i < 8; ++i)
            if (wordIndex < 0 || pass > 1 || i == wordIndex)
                EfusePhysicalWriteWord(dev, std::uint16_t(base + 2 * i), merged[i]);
        WriteMapByte(dev, mapAddress, EfuseMapByte(m));

        bool ok = true;
        for (int i = 0; i < 8 && ok; ++i)
            if (EfusePhysicalReadWord(dev, std::uint16_t(base + 2 * i)) != merged[i]) ok = false;
        if (ok || pass == kEfuseMaxPasses) break;

        // The block did not take the data: move to the next free block and spoil
        // the map byte just used so that it no longer maps the logical block.
        const int next = EfuseFindFreeMapByte(dev);
        if (next < 0) return 1;
        MarkBad(dev, mapAddress);
        mapAddress = next;
        block = next - g.lowerByte;
    }
    return 0;
}

bool AllBlank(const std::uint16_t* words) {
    for (int i = 0; i < 8; ++i)
        if (words[i] != 0xFFFF) return false;
    return true;
}

} // namespace

std::uint32_t EfuseReadGroup(CLinkCommands& dev, bool logical, std::uint16_t address, int length,
                             std::uint32_t& value) {
    DeviceSequence sequence;
    const std::uint32_t ctrl =
        RunOperation(dev, logical ? kEfuseOpLogicalRead : kEfuseOpPhysicalRead, address, kEfuseReadPolls);
    if (logical && (ctrl & 0x3F) == kEfuseUnmapped) {
        value = length >= 4 ? 0xFFFFFFFFu : 0xFFFFu;
        return ctrl;
    }
    std::uint32_t data = 0;
    dev.MacRead(DataRegister(address), data);
    data >>= 8 * (address & 3);
    value = length >= 4 ? data : (data & ((1u << (8 * length)) - 1));
    return ctrl;
}

int EfuseLogicalReadWord(CLinkCommands& dev, std::uint16_t offset, std::uint16_t& word, bool* mapped) {
    if (offset >= kEfuseContentBytes - 1) {
        // Past the content: nothing is stored there.
        word = 0xFFFF;
        if (mapped) *mapped = false;
        return 0;
    }
    std::uint32_t v = 0xFFFF;
    const std::uint32_t ctrl = EfuseReadGroup(dev, true, offset, 2, v);
    if (mapped) *mapped = (ctrl & 0x3F) != kEfuseUnmapped;
    word = std::uint16_t(v);
    return 0;
}

void EfuseLogicalRead(CLinkCommands& dev, std::uint16_t offset, std::uint8_t* bytes, int length) {
    DeviceSequence sequence;
    // Whole words from the even address, so an odd start never straddles a group.
    const int end = offset + length;
    for (int a = offset & ~1; a < end; a += 2) {
        std::uint16_t w = 0xFFFF;
        EfuseLogicalReadWord(dev, std::uint16_t(a), w);
        if (a >= offset) bytes[a - offset] = std::uint8_t(w);
        if (a + 1 >= offset && a + 1 < end) bytes[a + 1 - offset] = std::uint8_t(w >> 8);
    }
}

int EfuseLookupBlock(CLinkCommands& dev, std::uint16_t offset) {
    if (offset >= kEfuseContentBytes) return -1;
    const std::uint32_t ctrl = RunOperation(dev, kEfuseOpLogicalRead, offset, kEfuseReadPolls);
    const int block = int(ctrl & 0x3F);
    return block == int(kEfuseUnmapped) ? -1 : block;
}

std::uint16_t EfusePhysicalReadWord(CLinkCommands& dev, std::uint16_t address) {
    std::uint32_t v = 0;
    EfuseReadGroup(dev, false, address, 2, v);
    return std::uint16_t(v);
}

void EfusePhysicalRead(CLinkCommands& dev, std::uint16_t address, std::uint8_t* bytes, int length) {
    DeviceSequence sequence;
    const int end = address + length;
    for (int a = address & ~1; a < end; a += 2) {
        const std::uint16_t w = EfusePhysicalReadWord(dev, std::uint16_t(a));
        if (a >= address) bytes[a - address] = std::uint8_t(w);
        if (a + 1 >= address && a + 1 < end) bytes[a + 1 - address] = std::uint8_t(w >> 8);
    }
}

void EfusePhysicalWriteWord(CLinkCommands& dev, std::uint16_t address, std::uint16_t word) {
    // Load the block into the data registers, change one half of one group,
    // write the registers back and program the block.
    DeviceSequence sequence;
    RunOperation(dev, kEfuseOpPhysicalRead, address, kEfuseReadPolls);
    std::uint32_t data[4] = {};
    for (int i = 0; i < 4; ++i)
        dev.MacRead(kEfuseData + 4 * i, data[i]);
    std::uint32_t& group = data[(DataRegister(address) - kEfuseData) / 4];
    if ((address & 3) == 0)
        group = (group & 0xFFFF0000u) | word;
    else
        group = (group & 0x0000FFFFu) | (std::uint32_t(word) << 16);
    for (int i = 0; i < 4; ++i)
        dev.MacWrite(kEfuseData + 4 * i, data[i]);
    RunOperation(dev, kEfuseOpPhysicalWrite, address, kEfuseWritePolls);
}

int EfuseLogicalWriteWord(CLinkCommands& dev, std::uint16_t offset, std::uint16_t word) {
    std::uint16_t words[8] = {};
    const int index = (offset & 0xF) / 2;
    words[index] = word;
    return WriteLogical(dev, offset, words, index);
}

int EfuseLogicalWriteBlock(CLinkCommands& dev, std::uint16_t offset, const std::uint16_t words[8]) {
    return WriteLogical(dev, std::uint16_t(offset & ~0xF), words, -1);
}

void EfuseWriteContent(CLinkCommands& dev, const std::uint16_t content[256],
                       const std::uint16_t snapshot[256]) {
    DeviceSequence sequence;
    // An unmapped block reads all 0xFFFF in the snapshot; one that stays blank
    // needs no block.
    for (int b = 0; b < 32; ++b) {
        if (AllBlank(snapshot + 8 * b) && AllBlank(content + 8 * b)) continue;
        EfuseLogicalWriteBlock(dev, std::uint16_t(16 * b), content + 8 * b);
    }
}

int EfuseFindFreeMapByte(CLinkCommands& dev) {
    DeviceSequence sequence;
    const EfuseGeometry g = EfuseLayout();
    for (int a = g.upperByte & ~1; a >= (g.lowerByte & ~1); a -= 2) {
        const std::uint16_t w = EfusePhysicalReadWord(dev, std::uint16_t(a));
        if (a + 1 <= g.upperByte && !(w >> 8)) return a + 1;
        if (a >= g.lowerByte && !(w & 0xFF)) return a;
    }
    return -1;
}

int EfuseFreeBlocks(CLinkCommands& dev) {
    DeviceSequence sequence;
    const EfuseGeometry g = EfuseLayout();
    int lowest = -1;
    for (int a = g.lowerByte & ~1; a <= g.upperByte && lowest < 0; a += 2) {
        const std::uint16_t w = EfusePhysicalReadWord(dev, std::uint16_t(a));
        if (a >= g.lowerByte && !(w & 0xFF))
            lowest = a;
        else if (a + 1 <= g.upperByte && !(w >> 8))
            lowest = a + 1;
    }
    if (lowest < 0) return 0;
    const int highest = EfuseFindFreeMapByte(dev);
    if (highest < lowest) return 0;
    return highest - lowest + 1;
}

int EfuseFreeAfterWordWrite(int current, bool mapped, std::uint16_t oldWord, std::uint16_t newWord) {
    const bool costs = !mapped || (oldWord & ~newWord) != 0;
    return std::int16_t(current - (costs ? 1 : 0));
}

int EfuseFreeAfterByteWrite(int current, bool mapped, std::uint8_t oldByte, std::uint8_t newByte) {
    const bool costs = !mapped || (oldByte & ~newByte & 0xFF) != 0;
    return std::int16_t(current - (costs ? 1 : 0));
}

int EfuseFreeAfterContentWrite(int current, const std::uint16_t snapshot[256],
                               const std::uint16_t content[256]) {
    // A block costs one when a bit goes from 1 to 0. The snapshot is a logical
    // read, so an unmapped block reads all 0xFFFF there and costs one exactly when
    // its new words are not all 0xFFFF.
    int count = current;
    for (int b = 0; b < 32; ++b) {
        for (int i = 8 * b; i < 8 * b + 8; ++i) {
            if (snapshot[i] & ~content[i]) {
                --count;
                break;
            }
        }
    }
    return std::int16_t(count);
}

int EfuseFreeBlocksAfterWordWrite(CLinkCommands& dev, std::uint16_t offset, std::uint16_t word) {
    DeviceSequence sequence;
    const int current = EfuseFreeBlocks(dev);
    bool mapped = false;
    std::uint16_t old = 0xFFFF;
    EfuseLogicalReadWord(dev, std::uint16_t(offset & ~1), old, &mapped);
    return EfuseFreeAfterWordWrite(current, mapped, old, word);
}

int EfuseFreeBlocksAfterByteWrite(CLinkCommands& dev, std::uint16_t offset, std::uint8_t byte) {
    DeviceSequence sequence;
    const int current = EfuseFreeBlocks(dev);
    bool mapped = false;
    std::uint16_t old = 0xFFFF;
    EfuseLogicalReadWord(dev, std::uint16_t(offset & ~1), old, &mapped);
    const std::uint8_t oldByte = (offset & 1) ? std::uint8_t(old >> 8) : std::uint8_t(old);
    return EfuseFreeAfterByteWrite(current, mapped, oldByte, byte);
}

std::string EfuseWriteQuestion(int before, int after) {
    return Format("Free block before write=%d, after write=%d, are you sure to write?", before, after);
}

} // namespace vq
