#include "measure/sniffer/core/packet_files.h"

#include "base/format.h"
#include "formats/saved_file.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace vq::sniffer {

const char* const kPacketFileFilter = "Packet File (*.pac)|*.pac|Capture File (*.pcap)|*.pcap||";

std::string WithPacketExtension(const std::string& path) {
    if (path.empty() || path.find('.') == std::string::npos) return path + ".pac";
    return path;
}

bool IsPcapName(const std::string& path) {
    return path.size() >= 5 && path.compare(path.size() - 5, 5, ".pcap") == 0;
}

namespace {

void PutLe(std::vector<std::uint8_t>& out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
}

std::uint32_t ReadU32(const std::uint8_t* p, bool bigEndian) {
    return bigEndian ? (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3]
                     : Le32(p);
}

// Radiotap fields used here.
constexpr std::uint32_t kRtTsft = 1u << 0, kRtFlags = 1u << 1, kRtRate = 1u << 2, kRtAntenna = 1u << 11,
                        kRtDbSignal = 1u << 12, kRtMcs = 1u << 19, kRtNamespace = 1u << 29,
                        kRtVendor = 1u << 30, kRtExt = 1u << 31;
constexpr std::uint8_t kFlagShortPreamble = 0x02, kFlagFcs = 0x10, kFlagDataPad = 0x20, kFlagBadFcs = 0x40;

// Alignment and size of the radiotap fields 0..27 (0: not known here).
constexpr std::uint8_t kFieldAlign[28] = {8, 1, 1, 2, 1, 1, 1, 2, 2, 2, 1, 1, 1, 1,
                                          2, 2, 1, 1, 4, 1, 4, 2, 8, 2, 2, 2, 1, 2};
constexpr std::uint8_t kFieldSize[28] = {8, 1, 1, 4, 2, 1, 1, 2, 2, 2, 1, 1, 1, 1,
                                         2, 2, 1, 1, 8, 3, 8, 12, 12, 12, 12, 6, 1, 4};

// 500 kbit/s units of the CCK and OFDM rates, by MCS.
constexpr std::uint8_t kCckUnits[4] = {2, 4, 11, 22};
constexpr std::uint8_t kOfdmUnits[8] = {12, 18, 24, 36, 48, 72, 96, 108};

// The dB figure of a raw chain SNR (as the list shows it) and a raw value
// that shows the same figure.
std::uint8_t SnrDb(std::uint8_t raw) {
    if (raw == 0 || raw > 235) return 0;
    return std::uint8_t(std::floor((235.0 - raw) * 3.0 / 16.0));
}
std::uint8_t RawFromDb(int db) {
    if (db <= 0) return 0;
    const int raw = 235 - (db * 16 + 2) / 3;
    return std::uint8_t(raw < 1 ? 1 : raw);
}

} // namespace

std::vector<std::uint8_t> RadiotapPacket(const std::uint8_t* r) {
    const unsigned phy = PhyMode(r), mcs = Mcs(r);
    const bool ht = phy >= 2;
    std::uint8_t rateUnits = 0;
    if (phy == 0 && RateMbps(0, mcs) > 0) rateUnits = kCckUnits[mcs & 3];
    if (phy == 1 && mcs < 8) rateUnits = kOfdmUnits[mcs];
    std::uint8_t flags = kFlagFcs;
    if (HwCrcBad(r)) flags |= kFlagBadFcs;
    if (IsQosData(r)) flags |= kFlagDataPad; // the receiver pads the QoS header to 28 bytes
    if (phy == 0 && mcs >= 8) flags |= kFlagShortPreamble;

    std::vector<std::uint8_t> out;
    // Present words: the frame's fields, then one radiotap namespace per chain.
    const std::uint32_t word0 =
        kRtTsft | kRtFlags | (ht ? kRtMcs : kRtRate) | kRtDbSignal | kRtNamespace | kRtExt;
    const std::uint32_t chain0 = kRtAntenna | kRtDbSignal | kRtNamespace | kRtExt;
    const std::uint32_t chain1 = kRtAntenna | kRtDbSignal;
    out.push_back(0); // version
    out.push_back(0);
    PutLe(out, 0, 2); // length, set below
    PutLe(out, word0, 4);
    PutLe(out, chain0, 4);
    PutLe(out, chain1, 4);
    PutLe(out, Timestamp(r), 8);
    out.push_back(flags);
    const std::uint8_t snr0 = SnrDb(RawSnr(r, 0)), snr1 = SnrDb(RawSnr(r, 1));
    if (!ht) out.push_back(rateUnits);
    out.push_back(snr0 > snr1 ? snr0 : snr1);
    if (ht) {
        out.push_back(0x02 | 0x08); // MCS index and HT format known
        out.push_back(phy == 3 ? 0x08 : 0x00);
        out.push_back(std::uint8_t(mcs));
    }
    out.push_back(0), out.push_back(snr0);
    out.push_back(1), out.push_back(snr1);
    const std::size_t header = out.size();
    out[2] = std::uint8_t(header), out[3] = std::uint8_t(header >> 8);
    const std::uint8_t* m = Mpdu(r);
    out.insert(out.end(), m, m + StoredLength(r));
    return out;
}

bool RecordFromPacket(const std::uint8_t* p, std::size_t length, std::uint32_t linkType, std::uint64_t usec,
                      std::uint8_t* record) {
    std::size_t headerLength = 0;
    bool haveTsft = false, haveRate = false, haveMcs = false;
    std::uint64_t tsft = 0;
    std::uint8_t flags = 0, rate = 0, mcsKnown = 0, mcsFlags = 0, mcs = 0;
    int signal[2] = {-1, -1}, combined = -1;
    if (linkType == kLinkTypeRadiotap) {
        if (length < 8) return false;
        headerLength = std::size_t(p[2]) | (std::size_t(p[3]) << 8);
        if (headerLength < 8 || headerLength > length) return false;
        std::vector<std::uint32_t> words;
        std::size_t pos = 4;
        do {
            if (pos + 4 > headerLength) break;
            words.push_back(Le32(p + pos));
            pos += 4;
        } while (words.back() & kRtExt);
        // Walk the fields; a field this reader does not know ends the walk.
        bool vendor = false, known = true;
        std::size_t vendorSkip = 0;
        int block = 0, antenna = -1;
        for (std::size_t w = 0; w < words.size() && known; ++w) {
            const std::uint32_t bits = words[w];
            if (vendor) {
                pos += vendorSkip;
                vendorSkip = 0;
            } else {
                for (int bit = 0; bit < 29 && known; ++bit) {
                    if (!(bits & (1u << bit))) continue;
                    if (bit >= 28) {
                        known = false;
                        break;
                    }
                    const std::size_t a = kFieldAlign[bit];
                    pos = (pos + a - 1) / a * a;
                    if (pos + kFieldSize[bit] > headerLength) {
                        known = false;
                        break;
                    }
                    const std::uint8_t* f = p + pos;
                    switch (bit) {
                    case 0:
                        haveTsft = true;
                        tsft = std::uint64_t(Le32(f)) | (std::uint64_t(Le32(f + 4)) << 32);
                        break;
                    case 1:
                        flags = f[0];
                        break;
                    case 2:
                        haveRate = true;
                        rate = f[0];
                        break;
                    case 11:
                        antenna = f[0];
                        break;
                    case 12:
                        if (block == 0)
                            combined = f[0];
                        else if (int k = antenna >= 0 ? antenna : block - 1; k == 0 || k == 1)
                            signal[k] = f[0];
                        break;
                    case 19:
                        haveMcs = true;
                        mcsKnown = f[0], mcsFlags = f[1], mcs = f[2];
                        break;
                    default:
                        break;
                    }
                    pos += kFieldSize[bit];
                }
            }
            if (bits & kRtVendor) {
                pos = (pos + 1) / 2 * 2;
                if (pos + 6 > headerLength) break;
                vendorSkip = std::size_t(p[pos + 4]) | (std::size_t(p[pos + 5]) << 8);
                pos += 6;
                vendor = true;
            } else if (bits & kRtNamespace) {
                vendor = false;
                ++block;
                antenna = -1;
            }
        }
    } else if (linkType != kLinkTypeIeee80211) {
        return false;
    }

    const std::uint8_t* frame = p + headerLength;
    const std::size_t frameLength = length - headerLength;
    if (frameLength < 2) return false;
    std::memset(record, 0, kRecordBytes);
    std::uint8_t* m = record + kMpduOffset;
    std::size_t stored = frameLength < kMpduCapacity ? frameLength : kMpduCapacity;
    std::memcpy(m, frame, stored);
    std::size_t mpduLength = frameLength;
    if (!(flags & kFlagFcs) && stored + 4 <= kMpduCapacity) {
        // A frame saved without its FCS gets the MAC's check appended.
        mpduLength = stored + 4;
        const std::uint32_t fcs = Crc32Msb(m + 36, mpduLength > 40 ? mpduLength - 40 : 0);
        for (int i = 0; i < 4; ++i) m[stored + i] = std::uint8_t(fcs >> (8 * i));
    }
    if (mpduLength > 0x0FFF) mpduLength = 0x0FFF;

    unsigned phy = 0, code = 0x7F; // MCS 127: no rate of the table
    if (haveMcs) {
        phy = ((mcsKnown & 0x08) && (mcsFlags & 0x08)) ? 3 : 2;
        code = mcs & 0x7F;
    } else if (haveRate) {
        for (unsigned i = 0; i < 4; ++i)
            if (kCckUnits[i] == rate) phy = 0, code = i + ((flags & kFlagShortPreamble) ? 8 : 0);
        for (unsigned i = 0; i < 8; ++i)
            if (kOfdmUnits[i] == rate) phy = 1, code = i;
    }
    const std::uint32_t info = (flags & kFlagBadFcs) ? 0x100u : 0u;
    const std::uint32_t rxwi0 = std::uint32_t(mpduLength) << 16;
    const std::uint32_t rxwi1 = (phy << 30) | (code << 16);
    const std::uint32_t t = std::uint32_t(haveTsft ? tsft : usec);
    for (int i = 0; i < 4; ++i) {
        record[kInfoWordOffset + i] = std::uint8_t(info >> (8 * i));
        record[kRxwiOffset + i] = std::uint8_t(rxwi0 >> (8 * i));
        record[kRxwiOffset + 4 + i] = std::uint8_t(rxwi1 >> (8 * i));
        record[kRxwiOffset + 8 + i] = std::uint8_t(t >> (8 * i));
    }
    record[28] = RawFromDb(signal[0] >= 0 ? signal[0] : combined);
    record[29] = RawFromDb(signal[1]);
    return true;
}

std::vector<std::uint8_t> PcapBytes(const FrameStore& store) {
    std::vector<std::uint8_t> out;
    out.reserve(24 + std::size_t(store.count) * (16 + 40 + kMpduCapacity));
    PutLe(out, 0xA1B2C3D4u, 4); // microsecond timestamps
    PutLe(out, 2, 2);
    PutLe(out, 4, 2);
    PutLe(out, 0, 4); // time zone
    PutLe(out, 0, 4); // accuracy
    PutLe(out, 65535, 4);
    PutLe(out, kLinkTypeRadiotap, 4);
    for (int i = 0; i < store.count; ++i) {
        const std::uint8_t* r = store.Record(i);
        const std::vector<std::uint8_t> packet = RadiotapPacket(r);
        const std::uint32_t t = Timestamp(r);
        PutLe(out, t / 1000000u, 4);
        PutLe(out, t % 1000000u, 4);
        PutLe(out, packet.size(), 4);
        PutLe(out, packet.size(), 4);
        out.insert(out.end(), packet.begin(), packet.end());
    }
    return out;
}

bool SavePacketFile(const std::string& path, const FrameStore& store) {
    SavedFile file(path);
    if (!file.Open()) return false;
    std::uint8_t count[4];
    for (int i = 0; i < 4; ++i) count[i] = std::uint8_t(std::uint32_t(store.count) >> (8 * i));
    file.Put(count, 4);
    file.Put(store.Data(), std::size_t(store.count) * kRecordBytes);
    return file.Commit();
}

bool SavePcapFile(const std::string& path, const FrameStore& store) {
    SavedFile file(path);
    if (!file.Open()) return false;
    const std::vector<std::uint8_t> bytes = PcapBytes(store);
    file.Put(bytes.data(), bytes.size());
    return file.Commit();
}

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

void LoadPcap(std::FILE* f, const std::uint8_t* header, FrameStore& store, LoadResult& result) {
    const std::uint32_t magic = Le32(header);
    const bool bigEndian = magic == 0xD4C3B2A1u || magic == 0x4D3CB2A1u;
    const bool nanoseconds = magic == 0xA1B23C4Du || magic == 0x4D3CB2A1u;
    const std::uint32_t linkType = ReadU32(header + 20, bigEndian) & 0xFFFF;
    if (linkType != kLinkTypeRadiotap && linkType != kLinkTypeIeee80211) {
        result.message = Format("The capture file holds link type %u, not IEEE 802.11 frames. "
                                "0 records were loaded.", unsigned(linkType));
        return;
    }
    std::vector<std::uint8_t> packet;
    bool cut = false;
    for (;;) {
        std::uint8_t h[16];
        const std::size_t got = std::fread(h, 1, 16, f);
        if (got == 0) break;
        const std::uint32_t length = ReadU32(h + 8, bigEndian);
        if (got < 16 || length > 262144) {
            cut = true;
            break;
        }
        ++result.declared;
        if (result.loaded >= kStoreRecords) {
            if (std::fseek(f, long(length), SEEK_CUR) != 0) break;
            continue;
        }
        packet.resize(length);
        if (std::fread(packet.data(), 1, length, f) != length) {
            --result.declared;
            cut = true;
            break;
        }
        const std::uint64_t frac = ReadU32(h + 4, bigEndian);
        const std::uint64_t usec = std::uint64_t(ReadU32(h, bigEndian)) * 1000000u + (nanoseconds ? frac / 1000 : frac);
        if (RecordFromPacket(packet.data(), length, linkType, usec, store.Record(result.loaded))) ++result.loaded;
    }
    if (result.declared > std::uint64_t(kStoreRecords))
        result.message = Format("The capture file holds %llu frames; the store holds %d. %d records were loaded.",
                                (unsigned long long)result.declared, kStoreRecords, result.loaded);
    else if (cut)
        result.message = Format("The capture file ends inside a frame. %d records were loaded.", result.loaded);
}

} // namespace

LoadResult LoadPacketFile(const std::string& path, FrameStore& store) {
    LoadResult result;
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
    if (!f) return result;
    result.opened = true;
    std::uint8_t header[24] = {};
    const std::size_t got = std::fread(header, 1, sizeof header, f.get());
    const std::uint32_t magic = Le32(header);
    if (got == sizeof header && (magic == 0xA1B2C3D4u || magic == 0xD4C3B2A1u || magic == 0xA1B23C4Du ||
                                 magic == 0x4D3CB2A1u)) {
        LoadPcap(f.get(), header, store, result);
        return result;
    }
    if (got < 4) {
        result.message = "The packet file holds no record count. 0 records were loaded.";
        return result;
    }
    result.declared = magic;
    const std::size_t wanted = magic < std::uint32_t(kStoreRecords) ? magic : std::size_t(kStoreRecords);
    if (std::fseek(f.get(), 4, SEEK_SET) != 0) return result;
    const std::size_t bytes = std::fread(store.Data(), 1, wanted * kRecordBytes, f.get());
    result.loaded = int(bytes / kRecordBytes);
    if (magic > std::uint32_t(kStoreRecords) && result.loaded == kStoreRecords)
        result.message = Format("The packet file counts %u records; the store holds %d. %d records were loaded.",
                                unsigned(magic), kStoreRecords, result.loaded);
    else if (std::size_t(result.loaded) < wanted)
        result.message = Format("The packet file counts %u records but holds %d. %d records were loaded.",
                                unsigned(magic), result.loaded, result.loaded);
    return result;
}

} // namespace vq::sniffer
