#include "agent/board_model.h"

#include "link/command_frame.h"
#include "link/commands.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace vq::agent {

namespace {
const std::uint8_t kBoardMac[6] = {0x00, 0x0C, 0x43, 0x94, 0x47, 0x01};
}

BoardModel::BoardModel() {
    Reset();
    InstallStandardDevices(*this);
}

void BoardModel::DefaultEeprom(std::uint8_t e[512]) {
    std::memset(e, 0xFF, 512);
    auto word = [e](unsigned off, std::uint16_t w) {
        e[off] = std::uint8_t(w);
        e[off + 1] = std::uint8_t(w >> 8);
    };
    word(0x00, 0x9447); // chip id
    word(0x02, 0x0101); // version
    std::memcpy(e + 0x04, kBoardMac, 6);
    const std::uint8_t lan[6] = {0x00, 0x0C, 0x43, 0x94, 0x47, 0x02};
    const std::uint8_t wan[6] = {0x00, 0x0C, 0x43, 0x94, 0x47, 0x03};
    std::memcpy(e + 0x28, lan, 6);
    std::memcpy(e + 0x2E, wan, 6);
    word(0x34, 0x0022); // AntennaConfig: 2 TX paths, 2 RX paths
    word(0x36, 0x0000); // NicConfig
    word(0x38, 0xFFFF);
    word(0x3A, 0x0120); // LED mode 0x01, frequency offset 0x20
    word(0x3C, 0x5555); // LED G / A modes
    word(0x3E, 0x2221); // LED ACT fields
    word(0x40, 0x0000); // LED polarity
    word(0x42, 0x0000); // NicConfig2: temperature sensor on
    word(0x44, 0x1210); // LNA gain A 0x12, G 0x10
    word(0x46, 0x0000); // RSSI offsets path 0/1 (2.4 GHz)
    word(0x48, 0x0000); // RSSI offset path 2
    word(0x4A, 0x0000); // RSSI offsets (5 GHz)
    word(0x4C, 0x0000);
    word(0x50, 0x0000); // 40 MHz power delta: not used
    for (unsigned n = 1; n <= 14; ++n) {
        e[n + 81] = std::uint8_t(0x0C + n / 4); // TX power path 0, channel n
        e[n + 95] = std::uint8_t(0x0B + n / 4); // TX power path 1
    }
    word(0xD0, 0x0A0A); // temperature reference (high byte) / internal ALC power (low byte)
}

void BoardModel::Reset() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    mac_.clear();
    std::memset(bbp_, 0, sizeof bbp_);
    std::memset(r66_, 0, sizeof r66_);
    std::memset(table158_, 0, sizeof table158_);
    std::memset(table195_, 0, sizeof table195_);
    std::memset(rf_, 0, sizeof rf_);
    DefaultEeprom(eeprom_);
    // Board MAC address as the MAC block holds it (low four bytes, then two).
    mac_[0x1008] = std::uint32_t(kBoardMac[0]) | (kBoardMac[1] << 8) | (kBoardMac[2] << 16) |
                   (std::uint32_t(kBoardMac[3]) << 24);
    mac_[0x100C] = std::uint32_t(kBoardMac[4]) | (kBoardMac[5] << 8);
    mac_[0x1000] = 0x94470101; // MAC version
    mac_[0x0004] = 0x00000010; // EEPROM type 93c66
    mac_[0x1004] = 0x0000000C; // TX and RX enabled
    mac_[0x1104] = 0x00000009; // slot time 9 us
    bbp_[0] = 0x94;            // BBP version
    bbp_[4] = 0x50;
    bbp_[27] = 0x00;
    for (auto& d : devices_) d->Reset(*this);
    responseCount_ = 0;
    lastResponse_.clear();
    ateMode = false;
}

void BoardModel::AddDevice(std::shared_ptr<BoardDevice> device) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    devices_.push_back(std::move(device));
}

void BoardModel::InsertDevice(std::shared_ptr<BoardDevice> device) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    devices_.insert(devices_.begin(), std::move(device));
}

std::uint64_t BoardModel::NowUs() const {
    if (clock_) return clock_();
    using namespace std::chrono;
    return std::uint64_t(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

std::uint32_t BoardModel::RawMac(std::uint32_t address) const {
    auto it = mac_.find(address);
    return it == mac_.end() ? 0 : it->second;
}

void BoardModel::SetRawMac(std::uint32_t address, std::uint32_t value) {
    auto it = mac_.find(address);
    if (it != mac_.end())
        it->second = value;
    else if (mac_.size() < kMaxMacWords)
        mac_.emplace(address, value);
}

void BoardModel::SetMaxFrameLength(std::size_t length) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    maxFrameLength_ = std::clamp(length, kMinFrameLength, kFrameBufferSize);
}

std::uint32_t BoardModel::MacRead(std::uint32_t address) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::uint32_t v = 0;
    for (auto& d : devices_)
        if (d->MacRead(*this, address, v)) return v;
    return RawMac(address);
}

void BoardModel::MacWrite(std::uint32_t address, std::uint32_t value) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    for (auto& d : devices_)
        if (d->MacWrite(*this, address, value)) return;
    if (address == vq::kRfControlRegister) {
        RfControlWrite(value);
        return;
    }
    SetRawMac(address, value);
}

// RF control register: bit 0 start/busy, bit 4 write, bank in bits 22..25,
// register in bits 16..21, data in bits 8..15. The access completes at once,
// so the register reads back idle with the data of the addressed RF register.
void BoardModel::RfControlWrite(std::uint32_t value) {
    const unsigned bank = (value >> 22) & 0xF;
    const unsigned reg = (value >> 16) & 0x3F;
    if (value & 1) {
        if (value & 0x10) rf_[bank][reg] = std::uint8_t(value >> 8);
        value = (value & ~0xFF01u) | (std::uint32_t(rf_[bank][reg]) << 8);
    }
    SetRawMac(vq::kRfControlRegister, value);
}

std::uint8_t BoardModel::BbpRead(std::uint8_t reg) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::uint8_t v = 0;
    for (auto& d : devices_)
        if (d->BbpRead(*this, reg, v)) return v;
    switch (reg) {
    case 66:
        return r66_[(bbp_[27] >> 5) & 3];
    case 159:
        return table158_[bbp_[158]];
    case 196:
        return table195_[bbp_[195]];
    default:
        return bbp_[reg];
    }
}

void BoardModel::BbpWrite(std::uint8_t reg, std::uint8_t value) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    for (auto& d : devices_)
        if (d->BbpWrite(*this, reg, value)) return;
    switch (reg) {
    case 66: // one copy per receive path, chosen by R27 bits 5..6
        r66_[(bbp_[27] >> 5) & 3] = value;
        break;
    case 159:
        table158_[bbp_[158]] = value;
        break;
    case 196:
        table195_[bbp_[195]] = value;
        break;
    default:
        bbp_[reg] = value;
    }
}

std::uint16_t BoardModel::EepromWord(unsigned offset) const {
    if (offset >= 511) return 0xFFFF;
    return std::uint16_t(eeprom_[offset] | (eeprom_[offset + 1] << 8));
}

void BoardModel::SetEepromWord(unsigned offset, std::uint16_t word) {
    if (offset >= 511) return;
    eeprom_[offset] = std::uint8_t(word);
    eeprom_[offset + 1] = std::uint8_t(word >> 8);
}

std::vector<ExchangeLogEntry> BoardModel::Log() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return log_;
}

void BoardModel::ClearLog() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    log_.clear();
}

std::size_t BoardModel::LogSize() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return log_.size();
}

void BoardModel::Dispatch(std::uint16_t id, const std::uint8_t* p, std::size_t n, std::uint16_t& status,
                          std::vector<std::uint8_t>& data) {
    status = 0;
    auto need = [&](std::size_t bytes) {
        if (n < bytes) status = 0x0002; // malformed arguments
        return n >= bytes;
    };
    auto be16 = [&](std::uint16_t v) {
        data.push_back(std::uint8_t(v >> 8));
        data.push_back(std::uint8_t(v));
    };
    auto be32 = [&](std::uint32_t v) {
        be16(std::uint16_t(v >> 16));
        be16(std::uint16_t(v));
    };
    switch (id) {
    case vq::cmd::EepromRead:
        if (need(2)) be16(EepromWord(GetBe16(p)));
        break;
    case vq::cmd::EepromWrite:
        if (need(4)) SetEepromWord(GetBe16(p), GetBe16(p + 2));
        break;
    case vq::cmd::EepromWriteAll:
        if (need(512))
            for (unsigned i = 0; i < 256; ++i) SetEepromWord(2 * i, GetBe16(p + 2 * i));
        break;
    case vq::cmd::EepromReadBulk:
        if (need(4)) {
            const unsigned off = GetBe16(p), count = GetBe16(p + 2);
            for (unsigned i = 0; i < (count + 1) / 2 && i < 2000; ++i) be16(EepromWord(off + 2 * i));
        }
        break;
    case vq::cmd::EepromWriteBulk:
        if (need(4)) {
            const unsigned off = GetBe16(p), count = GetBe16(p + 2);
            for (unsigned i = 0; i < count / 2 && 4 + 2 * i + 1 < n; ++i) SetEepromWord(off + 2 * i, GetBe16(p + 4 + 2 * i));
        }
        break;
    case vq::cmd::MacRead:
        if (need(4)) be32(MacRead(GetBe32(p)));
        break;
    case vq::cmd::MacWrite:
        if (need(8)) MacWrite(GetBe32(p), GetBe32(p + 4));
        break;
    case vq::cmd::MacMultiRead:
        if (need(6)) {
            const std::uint32_t a = GetBe32(p);
            const unsigned count = GetBe16(p + 4);
            for (unsigned i = 0; i < count && i < 1000; ++i) be32(MacRead(a + 4 * i));
        }
        break;
    case vq::cmd::BbpRead:
        if (need(2)) data.push_back(BbpRead(std::uint8_t(GetBe16(p))));
        break;
    case vq::cmd::BbpWrite:
        if (need(3)) BbpWrite(std::uint8_t(GetBe16(p)), p[2]);
        break;
    case vq::cmd::BbpReadAll:
        for (unsigned r = 0; r < 256; ++r) data.push_back(BbpRead(std::uint8_t(r)));
        break;
    case vq::cmd::RfReadBulk:
        if (need(6)) {
            const unsigned bank = GetBe16(p) & 0xF, count = GetBe16(p + 4);
            for (unsigned r = 0; r < count && r < 64; ++r) data.push_back(rf_[bank][r]);
        }
        break;
    case vq::cmd::StartAte:
        ateMode = true;
        break;
    case vq::cmd::StopAte:
        ateMode = false;
        break;
    case vq::cmd::GetRxCounter:
        for (int i = 0; i < 15; ++i) be32(0);
        break;
    case vq::cmd::GetTxTransmitCounter:
        be32(0);
        break;
    case vq::cmd::ResetCounter:
    case vq::cmd::StartTx:
    case vq::cmd::StopTx:
    case vq::cmd::StartRx:
    case vq::cmd::StopRx:
    case vq::cmd::BusyMode:
    case vq::cmd::Calibration:
    case vq::cmd::TssiCompensation:
    case vq::cmd::TemperatureCompensation:
        break;
    default:
        status = 0x0001; // unknown command
    }
}

std::vector<std::vector<std::uint8_t>> BoardModel::HandleFrame(const std::uint8_t* frame, std::size_t length) {
    std::vector<std::vector<std::uint8_t>> out;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!poweredOn || !frame || length < kHeaderSize) return out;
    if (GetBe16(frame + kOffEtherType) != kEtherType || GetBe32(frame + kOffMagic) != kMagic) return out;
    const std::uint16_t type = GetBe16(frame + kOffType);
    if (type & 0x8000) return out; // a response, not a request
    const std::uint16_t id = GetBe16(frame + kOffCommandId);
    const std::uint16_t seq = GetBe16(frame + kOffSequence);
    std::size_t plen = GetBe16(frame + kOffLength);
    if (plen > length - kHeaderSize) plen = length - kHeaderSize; // payload cut at the frame's end
    const std::uint8_t* payload = frame + kOffPayload;

    const std::uint64_t now = NowUs();
    for (auto& d : devices_) d->Advance(*this, now);

    std::uint16_t status = 0;
    std::vector<std::uint8_t> data;
    bool handled = false;
    for (auto& d : devices_)
        if ((handled = d->Command(*this, id, payload, plen, status, data))) break;
    if (!handled) Dispatch(id, payload, plen, status, data);
    if (faults.failCommand == int(id)) {
        status = faults.failStatus;
        data.clear();
    }
    // A bulk read asking for more than one frame of the link holds (a MAC
    // Multi-Read of 372 words on a 1500-byte MTU, or a garbled count) is
    // refused: a cut answer would pass for the whole block.
    if (kHeaderSize + 2 + data.size() > maxFrameLength_) {
        status = kStatusResponseTooLong;
        data.clear();
    }
    if (logging_) log_.push_back({id, seq, std::vector<std::uint8_t>(payload, payload + plen), status});

    std::vector<std::uint8_t> r(std::max(kHeaderSize + 2 + data.size(), kMinFrameLength));
    std::memcpy(r.data() + kOffDestination, frame + kOffSource, 6);
    std::memcpy(r.data() + kOffSource, kBoardMac, 6);
    PutBe16(r.data() + kOffEtherType, kEtherType);
    PutBe32(r.data() + kOffMagic, kMagic);
    PutBe16(r.data() + kOffType, faults.requestTypeInReply ? type : std::uint16_t(type | 0x8000));
    PutBe16(r.data() + kOffCommandId, id);
    PutBe16(r.data() + kOffLength, std::uint16_t(2 + data.size()));
    PutBe16(r.data() + kOffSequence, seq);
    PutBe16(r.data() + kOffStatus, status);
    // A command without data has no bytes to copy (and `data.data()` may be null).
    if (!data.empty()) std::memcpy(r.data() + kOffData, data.data(), data.size());

    ++responseCount_;
    if (faults.dropEveryNth && responseCount_ % faults.dropEveryNth == 0) return out;
    if (faults.staleFirst) {
        std::vector<std::uint8_t> stale = r;
        PutBe16(stale.data() + kOffSequence, std::uint16_t(seq - 1));
        PutBe16(stale.data() + kOffStatus, 0x00EE);
        out.push_back(std::move(stale));
    }
    out.push_back(std::move(r));
    return out;
}

} // namespace vq::agent
