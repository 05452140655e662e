#include "measure/sniffer/core/sniffer_capture.h"

#include "base/format.h"
#include "device/device_commands.h"

#include <cstring>
#include <new>

namespace vq::sniffer {

namespace {

constexpr ColumnInfo kColumns[kColumnCount] = {
    {"No.", 45},       {"Address1", 100},  {"Address2", 100},        {"Address3", 100},
    {"Protocol", 60},  {"Duration", 40},   {"Size", 40},             {"S/N", 40},
    {"Flag", 40},      {"SSID", 60},       {"Ch", 60},               {"Rate", 50},
    {"SNR 0", 50},     {"SNR 1", 50},      {"QoS TID", 60},          {"Time(us)", 70},
    {"DeltaT(us)", 70}, {"Packet Crc Value", 100}, {"Calc Crc Value", 90},
};

constexpr std::uint32_t kMacSystemControl = 0x1004;
constexpr std::uint32_t kReceiverEnable = 0x08, kTimestampEnable = 0x80;

void MacAndOr(std::uint32_t clear, std::uint32_t set) {
    CDeviceCommands dev;
    std::uint32_t v = 0;
    dev.MacRead(kMacSystemControl, v);
    dev.MacWrite(kMacSystemControl, (v & ~clear) | set);
}

} // namespace

const ColumnInfo& ColumnAt(int column) {
    return kColumns[column < 0 || column >= kColumnCount ? 0 : column];
}

FrameStore::FrameStore() : bytes_(new std::uint8_t[Bytes()]()) {}

FrameStore& ProgramFrameStore() {
    static FrameStore store;
    return store;
}

void FrameStore::Clear() {
    std::memset(bytes_.get(), 0, Bytes());
    count = 0;
}

std::string ColumnText(const std::uint8_t* r, const ListRow& row, int column) {
    const unsigned length = MpduLength(r);
    const bool checked = row.flags & kRowSwCrcChecked;
    switch (column) {
    case kColNo:
        return Format("%05d", row.storeIndex + 1);
    case kColAddress1:
    case kColAddress2:
    case kColAddress3:
        return AddressText(Address(r, column - kColAddress1 + 1));
    case kColProtocol:
        return FrameTypeName(FrameType(r), FrameSubtype(r));
    case kColDuration:
        return Format("%d", int(Duration(r)));
    case kColSize:
        return Format("%d", int(length));
    case kColSeq:
        return Format("%02X:%02X", Mpdu(r)[22], Mpdu(r)[23]);
    case kColFlag:
        if (HwCrcBad(r)) return "Hw CRC";
        return (row.flags & kRowSwCrcError) ? "Sw CRC" : " *";
    case kColSsid:
    case kColChannel: {
        if (HwCrcBad(r) || !IsBeacon(r)) return {};
        const BeaconInfo b = ReadBeaconInfo(r);
        if (column == kColSsid) return b.ssid;
        return b.channel < 0 ? std::string() : Format("%d", b.channel);
    }
    case kColRate:
        return Format("%.1f", RateMbps(PhyMode(r), Mcs(r)));
    case kColSnr0:
    case kColSnr1:
        return SnrText(RawSnr(r, column - kColSnr0));
    case kColQosTid:
        return IsQosData(r) ? Format("%04x", unsigned(QosControl(r))) : std::string();
    case kColTime:
        return (row.flags & kRowTimestamp) ? Format("%d", row.timeUs) : std::string();
    case kColDeltaT:
        return (row.flags & kRowTimestamp) ? Format("%d", row.deltaUs) : std::string();
    case kColPacketCrc:
        if (!checked) return {};
        return length <= 64 ? "*" : Format("%08x", FcsWord(r));
    case kColCalcCrc:
        if (!checked) return {};
        return length <= 64 ? "*" : Format("%08x", row.calcCrc);
    default:
        return {};
    }
}

std::array<std::string, kColumnCount> RowTexts(const std::uint8_t* record, const ListRow& row) {
    std::array<std::string, kColumnCount> texts;
    for (int c = 0; c < kColumnCount; ++c) texts[c] = ColumnText(record, row, c);
    return texts;
}

bool Accepted(const std::uint8_t* r, const CaptureOptions& o) {
    const bool crcBad = HwCrcBad(r), beacon = IsBeacon(r);
    if (!o.others && !((o.beacon && beacon) || (o.crcError && crcBad))) return false;
    if (crcBad && !o.crcError) return false;
    if (beacon && !o.beacon) return false;
    return true;
}

void SnifferCapture::ClearList() {
    rows_.clear();
    ++generation_;
}

bool SnifferCapture::DecodeRow(const std::uint8_t* r, const CaptureOptions& o) {
    ListRow row;
    row.storeIndex = store_.count;
    const unsigned length = MpduLength(r);
    if (o.swCrcCheck) {
        row.flags |= kRowSwCrcChecked;
        if (length > 64) row.calcCrc = SoftwareCrc(r);
    }
    if (!HwCrcBad(r) && o.swCrcCheck && length > 64 && row.calcCrc != FcsWord(r)) {
        row.flags |= kRowSwCrcError;
        ++swCrcErrors;
    }
    if (o.swCrcError && length <= 64) return false;
    ++totalFrames;
    if (!o.hideData) rows_.push_back(row);
    return true;
}

SnifferCapture::TickEnd SnifferCapture::Process(const std::uint8_t* data, std::size_t bytes,
                                                const CaptureOptions& o) {
    const MacFilter filter = ParseMacFilter(o.macFilter);
    const std::size_t records = bytes / kRecordBytes;
    for (std::size_t i = 0; i < records; ++i) {
        const std::uint8_t* r = data + i * kRecordBytes;
        if (HwCrcBad(r)) ++hwCrcErrors;
        if (!Accepted(r, o) || !filter.Passes(r)) continue;
        const std::size_t rowsBefore = rows_.size();
        const bool kept = DecodeRow(r, o);
        if (o.timestamp) {
            const std::uint32_t t = Timestamp(r);
            if (store_.count == 0) firstTimestamp = t;
            // The row of this frame, when it was listed.
            if (kept && rows_.size() > rowsBefore) {
                ListRow& row = rows_.back();
                row.flags |= kRowTimestamp;
                row.timeUs = std::int32_t(t - firstTimestamp);
                row.deltaUs = store_.count == 0 ? 0 : std::int32_t(t - previousTimestamp);
            }
            previousTimestamp = t;
        }
        if (!kept) continue;
        std::memcpy(store_.Record(store_.count), r, kRecordBytes);
        if (++store_.count == kStoreRecords) {
            if (!o.wrapAround) return TickEnd::StoreFull;
            ClearList();
            store_.count = 0;
        }
    }
    return TickEnd::Done;
}

SnifferCapture::TickEnd SnifferCapture::PollTick(const CaptureOptions& o) {
    if (!receive_) return TickEnd::ReadFailed;
    std::memset(receive_.get(), 0, kReceiveBufferBytes);
    std::size_t bytes = 0;
    CDeviceCommands dev;
    if (!dev.ReadSnifferFrames(receive_.get(), kReceiveBufferBytes, bytes)) return TickEnd::ReadFailed;
    if (bytes > kReceiveBufferBytes) bytes = kReceiveBufferBytes;
    return Process(receive_.get(), bytes, o);
}

void SnifferCapture::EnableReceiver() { MacAndOr(0, kReceiverEnable); }
void SnifferCapture::EnableTimestamps() { MacAndOr(0, kTimestampEnable); }
void SnifferCapture::DisableReceiver() { MacAndOr(kReceiverEnable, 0); }

void SnifferCapture::BeginCapture() {
    capturing = true;
    store_.Clear();
    ClearList();
}

bool SnifferCapture::AllocateReceiveBuffer() {
    receive_.reset(new (std::nothrow) std::uint8_t[kReceiveBufferBytes]);
    return receive_ != nullptr;
}

void SnifferCapture::StartDelivery() { CDeviceCommands().SnifferStartStop(cmd::SnifferStart); }

void SnifferCapture::EndCapture() {
    capturing = false;
    receive_.reset();
    CDeviceCommands().SnifferStartStop(cmd::SnifferStop);
}

void SnifferCapture::DecodeLoaded(int n, const CaptureOptions& o) {
    ClearList();
    for (int i = 0; i < n; ++i) {
        store_.count = i;
        DecodeRow(store_.Record(i), o);
    }
    store_.count = n;
}

} // namespace vq::sniffer
