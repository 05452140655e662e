#include "txrx/core/capture_writer.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace vq {

bool ReadCircularWords(CDeviceCommands& dev, std::uint32_t start, std::uint32_t base, std::uint32_t end,
                       unsigned count, std::uint32_t* words) {
    std::uint32_t address = start;
    unsigned done = 0;
    while (done < count) {
        if (address >= end) address = base;
        const unsigned n = std::min({kCaptureChunkWords, count - done, unsigned((end - address) / 4)});
        if (dev.MacMultiRead(address, words + done, 4 * n) != int(n)) return false;
        done += n;
        address += 4 * n;
    }
    return true;
}

bool ReadCaptureMemory(CDeviceCommands& dev, std::uint32_t endPointer, CaptureMemory& memory) {
    const std::uint32_t e = endPointer & 0x1FFF;
    memory.a.assign(kCaptureAWords, 0);
    memory.b.assign(kCaptureBWords, 0);
    const std::uint32_t startA = kCaptureABase + 2 * e;
    if (e % 2 == 0) {
        if (!ReadCircularWords(dev, startA, kCaptureABase, kCaptureAEnd, kCaptureAWords, memory.a.data()))
            return false;
    } else {
        std::vector<std::uint32_t> raw(kCaptureAWords + 2);
        if (!ReadCircularWords(dev, startA - 2, kCaptureABase, kCaptureAEnd, unsigned(raw.size()),
                               raw.data()))
            return false;
        // Bytes are numbered from each word's least significant one.
        for (unsigned i = 0; i < kCaptureAWords; ++i)
            memory.a[i] = (raw[i] >> 16) | (raw[i + 1] << 16);
    }
    return ReadCircularWords(dev, kCaptureBBase + 4 * e, kCaptureBBase, kCaptureBEnd, kCaptureBWords,
                             memory.b.data());
}

namespace {

// Byte k (0 = least significant) of a word as a signed sample.
int Sample(std::uint32_t word, int k) {
    return std::int8_t(std::uint8_t(word >> (8 * k)));
}

void PutSample(std::string& out, int v) {
    if (v > 0) out += '+';
    char digits[8];
    const auto r = std::to_chars(digits, digits + sizeof digits, v);
    out.append(digits, r.ptr);
}

} // namespace

void WriteCaptureText(std::ostream& out, const CaptureMemory& memory, bool adc6) {
    std::string text;
    text.reserve(adc6 ? 12 * 7 * kCaptureAWords : 12 * 5 * kCaptureAWords);
    for (unsigned i = 0; i < kCaptureAWords; ++i) {
        const std::uint32_t a = memory.a[i], even = memory.b[2 * i], odd = memory.b[2 * i + 1];
        const int groups[2][6] = {
            {Sample(a, 1), Sample(a, 0), Sample(even, 3), Sample(even, 2), Sample(even, 1), Sample(even, 0)},
            {Sample(a, 3), Sample(a, 2), Sample(odd, 3), Sample(odd, 2), Sample(odd, 1), Sample(odd, 0)}};
        for (int g = 0; g < 2; ++g) {
            for (int k = 0; k < 6; ++k) {
                PutSample(text, groups[g][k]);
                if (k < 5) {
                    text += '\t';
                    if (adc6) text += "\r\n";
                }
            }
            if (g == 0 || i + 1 < kCaptureAWords) text += "\r\n";
        }
    }
    out.write(text.data(), std::streamsize(text.size()));
}

bool WriteCaptureData(CDeviceCommands& dev, std::ostream& out, std::uint32_t endPointer, bool adc6) {
    CaptureMemory memory;
    if (!ReadCaptureMemory(dev, endPointer, memory)) return false;
    WriteCaptureText(out, memory, adc6);
    return bool(out);
}

} // namespace vq
