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

namespace {
thread_local SequenceGate* t_gate = nullptr;
} // namespace

SequenceGate* ThreadSequenceGate() { return t_gate; }
void SetThreadSequenceGate(SequenceGate* gate) { t_gate = gate; }

CLinkCommands::Reply CLinkCommands::Exchange(std::uint16_t id, std::uint16_t length,
                                                 const std::uint8_t* payload) {
    Reply reply;
    Exchange(id, length, payload, reply);
    return reply;
}

void CLinkCommands::Exchange(std::uint16_t id, std::uint16_t length, const std::uint8_t* payload,
                             Reply& reply) {
    reply.result = -1;
    reply.sent = true;
    reply.status = 0;
    LinkSession& link = Link();
    std::lock_guard<std::recursive_mutex> lock(link.exchangeLock);
    SequenceGate* gate = t_gate;
    if (gate && gate->stopped) {
        ++gate->notSent;
        reply.sent = false;
        reply.data.fill(0);
        return;
    }
    link.ClearResponse();
    link.SendCommand(id, length, payload);
    reply.result = link.ReceiveResponse();
    if (reply.result != 0 && gate) gate->stopped = true;
    if (reply.result == 0) {
        reply.status = GetBe16(link.response.bytes + kOffStatus);
        // The response buffer is zero past the frame.
        std::memcpy(reply.data.data(), link.response.bytes + kOffData, kDataSize);
    } else {
        reply.data.fill(0);
    }
}

bool CLinkCommands::Run(const char* name, std::uint16_t id, std::uint16_t length, const std::uint8_t* payload,
                          Reply& reply) {
    Exchange(id, length, payload, reply);
    if (!reply.sent) return false; // the sequence reports the silent board once, at its end
    // Messages are shown after the exchange lock is released, so a box raised on a
    // worker thread never holds up the exchanges of the UI thread.
    if (reply.result != 0) {
        if (id == cmd::BusyMode) {
            ShowMessage(Format("BusyMode : Wait response packet timeout => %d", reply.result),
                        MsgIcon::Critical);
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

CLinkCommands::Payload& CLinkCommands::Payload::Byte(std::uint8_t v) {
    if (length < kMaxPayload) bytes[length++] = v;
    return *this;
}

CLinkCommands::Payload& CLinkCommands::Payload::Be16(std::uint16_t v) {
    return Byte(std::uint8_t(v >> 8)).Byte(std::uint8_t(v));
}

CLinkCommands::Payload& CLinkCommands::Payload::Be32(std::uint32_t v) {
    return Be16(std::uint16_t(v >> 16)).Be16(std::uint16_t(v));
}

namespace {
int Result(bool ok) {
    return ok ? 0 : 1;
}
} // namespace

int CLinkCommands::MacRead(std::uint32_t address, std::uint32_t& value) {
    Reply r;
    if (!Run("MAC Read", cmd::MacRead, Payload().Be32(address), r)) return 1;
    value = GetBe32(r.data.data());
    return 0;
}

int CLinkCommands::MacWrite(std::uint32_t address, std::uint32_t value) {
    Reply r;
    return Result(Run("MAC Write", cmd::MacWrite, Payload().Be32(address).Be32(value), r));
}

int CLinkCommands::MacMultiRead(std::uint32_t address, std::uint32_t* words, std::uint32_t byteCount) {
    std::uint32_t count = byteCount / 4;
    if (count > kDataSize / 4) count = kDataSize / 4;
    Reply r;
    const Payload p = Payload().Be32(address).Be16(std::uint16_t(count));
    if (!Run("MAC Multi-Read", cmd::MacMultiRead, p, r)) return 0;
    for (std::uint32_t i = 0; i < count; ++i) words[i] = GetBe32(r.data.data() + 4 * i);
    return int(count);
}

int CLinkCommands::BbpRead(unsigned reg, std::uint8_t& value) {
    Reply r;
    if (!Run("BBP Read", cmd::BbpRead, Payload().Be16(std::uint16_t(reg % 256)), r)) return 1;
    value = r.data[0];
    return 0;
}

int CLinkCommands::BbpWrite(unsigned reg, std::uint8_t value) {
    Reply r;
    return Result(Run("BBP Write", cmd::BbpWrite, Payload().Be16(std::uint16_t(reg % 256)).Byte(value), r));
}

int CLinkCommands::BbpReadAll(std::uint8_t table[256]) {
    Reply r;
    if (!Run("BBP Read-All", cmd::BbpReadAll, Payload(), r)) return 1;
    std::memcpy(table, r.data.data(), 256);
    return 0;
}

int CLinkCommands::EepromRead(std::uint16_t offset, std::uint16_t& word) {
    Reply r;
    if (!Run("EEPROM Read", cmd::EepromRead, Payload().Be16(offset), r)) return 1;
    word = GetBe16(r.data.data());
    return 0;
}

int CLinkCommands::EepromWrite(std::uint16_t offset, std::uint16_t word) {
    Reply r;
    return Result(Run("EEPROM Write", cmd::EepromWrite, Payload().Be16(offset).Be16(word), r));
}

int CLinkCommands::EepromWriteAll(const std::uint16_t words[256]) {
    Payload p;
    for (int i = 0; i < 256; ++i) p.Be16(words[i]);
    Reply r;
    return Result(Run("EEPROM Write-All", cmd::EepromWriteAll, p, r));
}

int CLinkCommands::EepromReadBulk(std::uint16_t offset, std::uint16_t* words, std::uint16_t byteCount) {
    Reply r;
    if (!Run("EEPROM Read-Bulk", cmd::EepromReadBulk, Payload().Be16(offset).Be16(byteCount), r)) return 1;
    std::size_t n = (std::size_t(byteCount) + 1) / 2;
    if (n > kDataSize / 2) n = kDataSize / 2;
    for (std::size_t i = 0; i < n; ++i) words[i] = GetBe16(r.data.data() + 2 * i);
    return 0;
}

int CLinkCommands::EepromWriteBulk(std::uint16_t offset, const std::uint16_t* words, std::uint16_t byteCount) {
    if (byteCount > kMaxPayload - 4) byteCount = std::uint16_t(kMaxPayload - 4);
    Payload p;
    p.Be16(offset).Be16(byteCount);
    for (std::size_t i = 0; i < byteCount / 2u; ++i) p.Be16(words[i]);
    // An odd count announces one byte more than whole words: it goes as zero.
    if (byteCount & 1) p.Byte(0);
    Reply r;
    return Result(Run("EEPROM Write-Bulk", cmd::EepromWriteBulk, p, r));
}

int CLinkCommands::RfReadBulk(std::uint16_t bank, std::uint8_t* bytes, std::uint16_t byteCount) {
    Reply r;
    if (!Run("RF Read-Bulk", cmd::RfReadBulk, Payload().Be16(bank).Be16(0).Be16(byteCount), r)) return 1;
    std::memcpy(bytes, r.data.data(), byteCount < kDataSize ? byteCount : kDataSize);
    return 0;
}

int CLinkCommands::ResetCounter() {
    Reply r;
    return Result(Run("ResetCounter", cmd::ResetCounter, Payload(), r));
}

int CLinkCommands::GetTxTransmitCounter(std::uint32_t& count) {
    Reply r;
    if (!Run("GetTxTransmitCounter", cmd::GetTxTransmitCounter, Payload(), r)) return 1;
    count = GetBe32(r.data.data());
    return 0;
}

int CLinkCommands::GetRxCounter(std::uint32_t* words, std::uint16_t byteCount) {
    Reply r;
    if (!Run("GetRxCounter", cmd::GetRxCounter, Payload(), r)) return 1;
    std::size_t n = (std::size_t(byteCount) + 3) / 4;
    if (n > kDataSize / 4) n = kDataSize / 4;
    for (std::size_t i = 0; i < n; ++i) words[i] = GetBe32(r.data.data() + 4 * i);
    return 0;
}

int CLinkCommands::BusyMode(std::uint16_t length, const std::uint8_t* payload) {
    Reply r;
    return Result(Run("BusyMode", cmd::BusyMode, length, payload, r));
}

int CLinkCommands::StartTx(std::uint16_t length, const std::uint8_t* payload) {
    Reply r;
    Run("StartTX", cmd::StartTx, length, payload, r);
    return 0;
}

int CLinkCommands::StopTx() {
    Reply r;
    Run("StopTX", cmd::StopTx, Payload(), r);
    return 0;
}

int CLinkCommands::StartRx() {
    Reply r;
    return Result(Run("StartRX", cmd::StartRx, Payload(), r));
}

int CLinkCommands::StopRx() {
    Reply r;
    return Result(Run("StopRX", cmd::StopRx, Payload(), r));
}

int CLinkCommands::StartAte() {
    Reply r;
    Run("Start ATE", cmd::StartAte, Payload(), r);
    return 0;
}

void CLinkCommands::StopAte() { Exchange(cmd::StopAte, 0, nullptr); }

void CLinkCommands::SnifferStartStop(std::uint32_t code) {
    LinkSession& link = Link();
    std::lock_guard<std::recursive_mutex> lock(link.exchangeLock);
    if (ITransport* t = link.Transport()) t->SnifferControl(code);
}

int CLinkCommands::ReadSnifferFrames(std::uint8_t* buffer, std::size_t size, std::size_t& bytes) {
    LinkSession& link = Link();
    std::lock_guard<std::recursive_mutex> lock(link.exchangeLock);
    bytes = 0;
    if (ITransport* t = link.Transport()) bytes = t->SnifferRead(buffer, size);
    return 1;
}

int CLinkCommands::Calibration(std::uint32_t item, std::uint32_t argument) {
    Reply r;
    return Result(Run("Calibration", cmd::Calibration, Payload().Be32(item).Be32(argument), r));
}

int CLinkCommands::TssiCompensation(std::uint32_t value) {
    Reply r;
    Run("TSSI_Compensation", cmd::TssiCompensation, Payload().Be32(value), r);
    return 0;
}

int CLinkCommands::TemperatureCompensation(std::uint32_t value) {
    Reply r;
    Run("Temperature_Compensation", cmd::TemperatureCompensation, Payload().Be32(value), r);
    return 0;
}

} // namespace vq
