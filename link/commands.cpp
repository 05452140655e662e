#include "link/commands.h"

#include "base/format.h"
#include "base/services.h"
#include "link/link_session.h"

#include <cstring>
#include <mutex>

namespace vq {

std::string TimeoutText(const char* name, int value) {
    return Format("%s : Error Message => %d", name, value);
}

std::string BadStatusText(const char* name, std::uint16_t status) {
    return Format("%s : Error Message => Receive packet status failed.....%d", name, int(status));
}

CLinkCommands::Reply CLinkCommands::Exchange(std::uint16_t id, std::uint16_t length,
                                                 const std::uint8_t* payload) {
    Reply reply;
    LinkSession& link = Link();
    std::lock_guard<std::recursive_mutex> lock(link.exchangeLock);
    std::memset(link.response.bytes, 0, kFrameBufferSize);
    link.SendCommand(id, length, payload);
    reply.result = link.ReceiveResponse();
    if (reply.result == 0) {
        reply.status = GetBe16(link.response.bytes + kOffStatus);
        std::memcpy(reply.data.data(), link.response.bytes + kOffData, kDataSize);
    }
    return reply;
}

bool CLinkCommands::Run(const char* name, std::uint16_t id, std::uint16_t length, const std::uint8_t* payload,
                          Reply& reply) {
    reply = Exchange(id, length, payload);
    // Messages are shown after the exchange lock is released, so a box raised on a
    // worker thread never holds up the exchanges of the UI thread.
    if (reply.result != 0) {
        if (id == cmd::BusyMode) {
            ShowMessage(Format("BusyMode : Wait response packet timeout => %d", reply.result), MsgIcon::Critical);
        } else {
            ShowMessage(TimeoutText(name, reply.result), MsgIcon::Critical);
        }
        return false;
    }
    if (reply.status != 0) {
        ShowMessage(BadStatusText(name, reply.status), MsgIcon::Critical);
        return false;
    }
    return true;
}

int CLinkCommands::MacRead(std::uint32_t address, std::uint32_t& value) {
    std::uint8_t p[4];
    PutBe32(p, address);
    Reply r;
    if (!Run("MAC Read", cmd::MacRead, 4, p, r)) return 1;
    value = GetBe32(r.data.data());
    return 0;
}

int CLinkCommands::MacWrite(std::uint32_t address, std::uint32_t value) {
    std::uint8_t p[8];
    PutBe32(p, address);
    PutBe32(p + 4, value);
    Reply r;
    return Run("MAC Write", cmd::MacWrite, 8, p, r) ? 0 : 1;
}

int CLinkCommands::MacMultiRead(std::uint32_t address, std::uint32_t* words, std::uint32_t byteCount) {
    std::uint32_t count = byteCount / 4;
    if (count > kDataSize / 4) count = kDataSize / 4;
    std::uint8_t p[6];
    PutBe32(p, address);
    PutBe16(p + 4, std::uint16_t(count));
    Reply r;
    if (!Run("MAC Multi-Read", cmd::MacMultiRead, 6, p, r)) return 0;
    for (std::uint32_t i = 0; i < count; ++i) words[i] = GetBe32(r.data.data() + 4 * i);
    return int(count);
}

int CLinkCommands::BbpRead(unsigned reg, std::uint8_t& value) {
    std::uint8_t p[2];
    PutBe16(p, std::uint16_t(reg % 256));
    Reply r;
    if (!Run("BBP Read", cmd::BbpRead, 2, p, r)) return 1;
    value = r.data[0];
    return 0;
}

int CLinkCommands::BbpWrite(unsigned reg, std::uint8_t value) {
    std::uint8_t p[3];
    PutBe16(p, std::uint16_t(reg % 256));
    p[2] = value;
    Reply r;
    return Run("BBP Write", cmd::BbpWrite, 3, p, r) ? 0 : 1;
}

int CLinkCommands::BbpReadAll(std::uint8_t table[256]) {
    Reply r;
    if (!Run("BBP Read-All", cmd::BbpReadAll, 0, nullptr, r)) return 1;
    std::memcpy(table, r.data.data(), 256);
    return 0;
}

int CLinkCommands::EepromRead(std::uint16_t offset, std::uint16_t& word) {
    std::uint8_t p[2];
    PutBe16(p, offset);
    Reply r;
    if (!Run("EEPROM Read", cmd::EepromRead, 2, p, r)) return 1;
    word = GetBe16(r.data.data());
    return 0;
}

int CLinkCommands::EepromWrite(std::uint16_t offset, std::uint16_t word) {
    std::uint8_t p[4];
    PutBe16(p, offset);
    PutBe16(p + 2, word);
    Reply r;
    return Run("EEPROM Write", cmd::EepromWrite, 4, p, r) ? 0 : 1;
}

int CLinkCommands::EepromWriteAll(const std::uint16_t words[256]) {
    std::uint8_t p[512];
    for (int i = 0; i < 256; ++i) PutBe16(p + 2 * i, words[i]);
    Reply r;
    return Run("EEPROM Write-All", cmd::EepromWriteAll, 512, p, r) ? 0 : 1;
}

int CLinkCommands::EepromReadBulk(std::uint16_t offset, std::uint16_t* words, std::uint16_t byteCount) {
    std::uint8_t p[4];
    PutBe16(p, offset);
    PutBe16(p + 2, byteCount);
    Reply r;
    if (!Run("EEPROM Read-Bulk", cmd::EepromReadBulk, 4, p, r)) return 1;
    std::size_t n = (std::size_t(byteCount) + 1) / 2;
    if (n > kDataSize / 2) n = kDataSize / 2;
    for (std::size_t i = 0; i < n; ++i) words[i] = GetBe16(r.data.data() + 2 * i);
    return 0;
}

int CLinkCommands::EepromWriteBulk(std::uint16_t offset, const std::uint16_t* words, std::uint16_t byteCount) {
    if (byteCount > kMaxPayload - 4) byteCount = std::uint16_t(kMaxPayload - 4);
    std::uint8_t p[kMaxPayload];
    PutBe16(p, offset);
    PutBe16(p + 2, byteCount);
    const std::size_t n = byteCount / 2;
    for (std::size_t i = 0; i < n; ++i) PutBe16(p + 4 + 2 * i, words[i]);
    Reply r;
    return Run("EEPROM Write-Bulk", cmd::EepromWriteBulk, std::uint16_t(byteCount + 4), p, r) ? 0 : 1;
}

int CLinkCommands::RfReadBulk(std::uint16_t bank, std::uint8_t* bytes, std::uint16_t byteCount) {
    std::uint8_t p[6];
    PutBe16(p, bank);
    PutBe16(p + 2, 0);
    PutBe16(p + 4, byteCount);
    Reply r;
    if (!Run("RF Read-Bulk", cmd::RfReadBulk, 6, p, r)) return 1;
    std::memcpy(bytes, r.data.data(), byteCount < kDataSize ? byteCount : kDataSize);
    return 0;
}

int CLinkCommands::ResetCounter() {
    Reply r;
    return Run("ResetCounter", cmd::ResetCounter, 0, nullptr, r) ? 0 : 1;
}

int CLinkCommands::GetTxTransmitCounter(std::uint32_t& count) {
    Reply r;
    if (!Run("GetTxTransmitCounter", cmd::GetTxTransmitCounter, 0, nullptr, r)) return 1;
    count = GetBe32(r.data.data());
    return 0;
}

int CLinkCommands::GetRxCounter(std::uint32_t* words, std::uint16_t byteCount) {
    Reply r;
    if (!Run("GetRxCounter", cmd::GetRxCounter, 0, nullptr, r)) return 1;
    std::size_t n = (std::size_t(byteCount) + 3) / 4;
    if (n > kDataSize / 4) n = kDataSize / 4;
    for (std::size_t i = 0; i < n; ++i) words[i] = GetBe32(r.data.data() + 4 * i);
    return 0;
}

int CLinkCommands::BusyMode(std::uint16_t length, const std::uint8_t* payload) {
    Reply r;
    return Run("BusyMode", cmd::BusyMode, length, payload, r) ? 0 : 1;
}

int CLinkCommands::StartTx(std::uint16_t length, const std::uint8_t* payload) {
    Reply r;
    Run("StartTX", cmd::StartTx, length, payload, r);
    return 0;
}

int CLinkCommands::StopTx() {
    Reply r;
    Run("StopTX", cmd::StopTx, 0, nullptr, r);
    return 0;
}

int CLinkCommands::StartRx() {
    Reply r;
    return Run("StartRX", cmd::StartRx, 0, nullptr, r) ? 0 : 1;
}

int CLinkCommands::StopRx() {
    Reply r;
    return Run("StopRX", cmd::StopRx, 0, nullptr, r) ? 0 : 1;
}

int CLinkCommands::StartAte() {
    Reply r;
    Run("Start ATE", cmd::StartAte, 0, nullptr, r);
    return 0;
}

void CLinkCommands::StopAte() { Exchange(cmd::StopAte, 0, nullptr); }

int CLinkCommands::Calibration(std::uint32_t item, std::uint32_t argument) {
    std::uint8_t p[8];
    PutBe32(p, item);
    PutBe32(p + 4, argument);
    Reply r;
    return Run("Calibration", cmd::Calibration, 8, p, r) ? 0 : 1;
}

int CLinkCommands::TssiCompensation(std::uint32_t value) {
    std::uint8_t p[4];
    PutBe32(p, value);
    Reply r;
    Run("TSSI_Compensation", cmd::TssiCompensation, 4, p, r);
    return 0;
}

int CLinkCommands::TemperatureCompensation(std::uint32_t value) {
    std::uint8_t p[4];
    PutBe32(p, value);
    Reply r;
    Run("Temperature_Compensation", cmd::TemperatureCompensation, 4, p, r);
    return 0;
}

} // namespace vq
