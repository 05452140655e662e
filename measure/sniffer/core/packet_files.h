// The sniffer's packet files. ".pac": little-endian u32 record count N, then
// N records of 1600 bytes, record i at offset 4 + i x 1600. ".pcap": the
// classic capture file format with link type 127 (IEEE 802.11 frames behind a
// radiotap header giving the timestamp, the FCS flags, the rate and the two
// chains' signal in dB), readable by Wireshark and tcpdump; a load rebuilds
// the records from the radiotap fields.
#pragma once

#include "measure/sniffer/core/sniffer_capture.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vq::sniffer {

// Dialog filter of "Save File..." and "Load File...".
extern const char* const kPacketFileFilter;
// ".pac" appended to an empty path or one without any '.'.
std::string WithPacketExtension(const std::string& path);
// The name asks for a pcap file (it ends in ".pcap").
bool IsPcapName(const std::string& path);

// The first `store.count` records as a file. False after the saver's message.
bool SavePacketFile(const std::string& path, const FrameStore& store);
bool SavePcapFile(const std::string& path, const FrameStore& store);

// The file's bytes, for tests and the benchmark.
std::vector<std::uint8_t> PcapBytes(const FrameStore& store);

struct LoadResult {
    bool opened = false;
    int loaded = 0;             // records now in the store (from position 0)
    std::uint64_t declared = 0; // records the file says it holds (.pac count; pcap: packets seen)
    // Empty, or what the operator is told about a file that did not fit or
    // held fewer records than its count.
    std::string message;
};
// Reads a ".pac" file or (by its magic number) a pcap file into the store
// from position 0. At most 20000 records, never more than the file holds.
// A file that cannot be opened leaves the store as it was. The store's count
// is left to the caller (row decoding walks the records first).
LoadResult LoadPacketFile(const std::string& path, FrameStore& store);

// One record as a pcap packet (radiotap header + MPDU) and back. `usec`
// gives the packet time for a frame without a radiotap timestamp.
std::vector<std::uint8_t> RadiotapPacket(const std::uint8_t* record);
// False when the packet carries no frame the record can hold.
bool RecordFromPacket(const std::uint8_t* packet, std::size_t length, std::uint32_t linkType,
                      std::uint64_t usec, std::uint8_t* record);

constexpr std::uint32_t kLinkTypeIeee80211 = 105, kLinkTypeRadiotap = 127;

} // namespace vq::sniffer
