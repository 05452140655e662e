// The sniffer's capture logic without widgets: the 20000-record frame store,
// the acceptance and MAC filter, row decoding into the list's 19 columns, the
// poll tick over the records the board delivered, and the capture's start and
// stop on the board (MAC 0x1004 receive and timestamp bits, frame delivery).
#pragma once

#include "measure/sniffer/core/sniffer_record.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vq::sniffer {

constexpr int kStoreRecords = 20000;
constexpr std::size_t kReceiveBufferBytes = 8000000; // 5000 records
constexpr int kColumnCount = 19;

enum Column {
    kColNo, kColAddress1, kColAddress2, kColAddress3, kColProtocol, kColDuration, kColSize, kColSeq,
    kColFlag, kColSsid, kColChannel, kColRate, kColSnr0, kColSnr1, kColQosTid, kColTime, kColDeltaT,
    kColPacketCrc, kColCalcCrc
};
struct ColumnInfo {
    const char* heading;
    int width;
};
const ColumnInfo& ColumnAt(int column);

// Every received record the capture kept, in the order of arrival.
class FrameStore {
  public:
    FrameStore();
    std::uint8_t* Record(int i) { return bytes_.get() + std::size_t(i) * kRecordBytes; }
    const std::uint8_t* Record(int i) const { return bytes_.get() + std::size_t(i) * kRecordBytes; }
    std::uint8_t* Data() { return bytes_.get(); }
    const std::uint8_t* Data() const { return bytes_.get(); }
    int count = 0; // valid records, 0..20000
    void Clear();  // every record zero, count 0
    static constexpr std::size_t Bytes() { return std::size_t(kStoreRecords) * kRecordBytes; }

  private:
    std::unique_ptr<std::uint8_t[]> bytes_;
};

// The program's frame store, allocated on first use and kept until exit.
FrameStore& ProgramFrameStore();

// The check boxes and the MAC filter as a poll tick takes them.
struct CaptureOptions {
    bool swCrcError = true; // "SW CRC Error": frames of 64 bytes or less are dropped
    bool crcError = true;   // accept frames with the hardware CRC bit
    bool beacon = true;
    bool cck11b = true, ofdm = true, phyError = true; // kept only
    bool others = true;
    bool wrapAround = false;
    bool swCrcCheck = false;
    bool timestamp = false;
    bool hideData = false;
    std::string macFilter = "000000000000";
};

// One line of the list: the store record it shows and what its decoding
// fixed that the record alone does not tell.
struct ListRow {
    std::int32_t storeIndex = 0;
    std::int32_t timeUs = 0, deltaUs = 0;
    std::uint32_t calcCrc = 0;
    std::uint8_t flags = 0; // kRowSwCrcChecked, kRowSwCrcError, kRowTimestamp
};
constexpr std::uint8_t kRowSwCrcChecked = 1, kRowSwCrcError = 2, kRowTimestamp = 4;

// The text of one column of a row.
std::string ColumnText(const std::uint8_t* record, const ListRow& row, int column);
// All 19 column texts of a row.
std::array<std::string, kColumnCount> RowTexts(const std::uint8_t* record, const ListRow& row);

// Acceptance by the check boxes: with "Others" cleared only beacons (when
// "Beacon" is checked) and hardware CRC failures (when "CRC Error" is
// checked) go on; hardware CRC failures without "CRC Error" and beacons
// without "Beacon" never do.
bool Accepted(const std::uint8_t* record, const CaptureOptions& o);

class SnifferCapture {
  public:
    explicit SnifferCapture(FrameStore& store) : store_(store) {}

    FrameStore& Store() { return store_; }
    const std::vector<ListRow>& Rows() const { return rows_; }
    // Rises every time the list is emptied (start, wrap, load).
    unsigned ListGeneration() const { return generation_; }

    int hwCrcErrors = 0, swCrcErrors = 0, totalFrames = 0;
    std::uint32_t firstTimestamp = 0, previousTimestamp = 0;
    bool capturing = false;

    void ResetCounters() { swCrcErrors = totalFrames = 0; }
    void ClearList();

    // Row decoding of store record `count` (the store's count): counts and,
    // unless the data is hidden, adds the row. True when the frame is kept.
    bool DecodeRow(const std::uint8_t* record, const CaptureOptions& o);

    enum class TickEnd { Done, ReadFailed, StoreFull };
    // Handles the whole records of `bytes` delivered bytes in order. Ends
    // with StoreFull when the 20000th record was kept without "Wrap Around"
    // (the caller stops the capture).
    TickEnd Process(const std::uint8_t* data, std::size_t bytes, const CaptureOptions& o);
    // One poll tick: the board's delivered records into the receive buffer,
    // then Process. Without a receive buffer nothing is read.
    TickEnd PollTick(const CaptureOptions& o);

    // The board's side of a capture. Start: MAC 0x1004 bit 3 (receiver),
    // bit 7 as well with timestamps, then frame delivery on; the store and the
    // list emptied and the receive buffer allocated (false when it could not
    // be: the capture runs without one). Stop: bit 3 cleared, buffer released,
    // delivery off (bit 7 stays as it is).
    void BeginCapture();
    bool AllocateReceiveBuffer();
    void EnableReceiver();
    void EnableTimestamps();
    void StartDelivery();
    void DisableReceiver();
    void EndCapture();
    bool HasReceiveBuffer() const { return receive_ != nullptr; }

    // Runs row decoding over store records 0..n-1 as a load does (count set
    // to each index in turn, then to n).
    void DecodeLoaded(int n, const CaptureOptions& o);

  private:
    FrameStore& store_;
    std::vector<ListRow> rows_;
    unsigned generation_ = 0;
    std::unique_ptr<std::uint8_t[]> receive_;
};

} // namespace vq::sniffer
