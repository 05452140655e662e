// The board's test command set: one operation per command id, each one
// exchange that shows the command's time-out or bad-status text on failure
// and then leaves the caller's output as it was.
#pragma once

#include "link/command_frame.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vq {

namespace cmd {
constexpr std::uint16_t EepromRead = 1;
constexpr std::uint16_t EepromWrite = 2;
constexpr std::uint16_t EepromWriteAll = 4;
constexpr std::uint16_t MacRead = 5;
constexpr std::uint16_t MacWrite = 6;
constexpr std::uint16_t MacMultiRead = 7;
constexpr std::uint16_t BbpRead = 8;
constexpr std::uint16_t BbpWrite = 9;
constexpr std::uint16_t BbpReadAll = 10;
constexpr std::uint16_t GetRxCounter = 11;
constexpr std::uint16_t ResetCounter = 12;
constexpr std::uint16_t StartTx = 16;
constexpr std::uint16_t GetTxTransmitCounter = 17;
constexpr std::uint16_t StopTx = 18;
constexpr std::uint16_t StartRx = 19;
constexpr std::uint16_t StopRx = 20;
constexpr std::uint16_t StartAte = 128;
// Codes of the sniffer start/stop operation.
constexpr std::uint32_t SnifferStart = 4;
constexpr std::uint32_t SnifferStop = 5;
constexpr std::uint16_t StopAte = 129;
constexpr std::uint16_t EepromReadBulk = 0x114;
constexpr std::uint16_t EepromWriteBulk = 0x115;
constexpr std::uint16_t RfReadBulk = 0x123;
constexpr std::uint16_t BusyMode = 0x202;
constexpr std::uint16_t Calibration = 0x204;
constexpr std::uint16_t TssiCompensation = 0x205;
constexpr std::uint16_t TemperatureCompensation = 0x206;
} // namespace cmd

// MAC register through which the RF registers are reached (bank, register,
// value, write and busy bits).
constexpr std::uint32_t kRfControlRegister = 0x500;
constexpr std::size_t kDataSize = kFrameBufferSize - kOffData;

// The calling thread's open device sequence as the exchanges see it (set and
// cleared by device/sequence.h). Once one of its commands has timed out, the
// board is taken as silent: the sequence's remaining commands fail at once
// without being sent.
struct SequenceGate {
    bool stopped = false;       // a command of the sequence got no answer
    unsigned long notSent = 0;  // commands refused since
};
SequenceGate* ThreadSequenceGate();
void SetThreadSequenceGate(SequenceGate* gate); // for the calling thread; null: none

class CLinkCommands {
  public:
    int MacRead(std::uint32_t address, std::uint32_t& value);
    int MacWrite(std::uint32_t address, std::uint32_t value);
    // Reads byteCount / 4 words into `words` (which must hold them).
    int MacMultiRead(std::uint32_t address, std::uint32_t* words, std::uint32_t byteCount);
    int BbpRead(unsigned reg, std::uint8_t& value);
    int BbpWrite(unsigned reg, std::uint8_t value);
    int BbpReadAll(std::uint8_t table[256]);
    // EEPROM Read / EEPROM Write commands (ids 1 and 2), whatever the session's EEPROM source.
    int EepromRead(std::uint16_t offset, std::uint16_t& word);
    int EepromWrite(std::uint16_t offset, std::uint16_t word);
    int EepromWriteAll(const std::uint16_t words[256]);
    int EepromReadBulk(std::uint16_t offset, std::uint16_t* words, std::uint16_t byteCount);
    int EepromWriteBulk(std::uint16_t offset, const std::uint16_t* words, std::uint16_t byteCount);
    int RfReadBulk(std::uint16_t bank, std::uint8_t* bytes, std::uint16_t byteCount);
    int ResetCounter();
    int GetTxTransmitCounter(std::uint32_t& count);
    int GetRxCounter(std::uint32_t* words, std::uint16_t byteCount);
    int BusyMode(std::uint16_t length, const std::uint8_t* payload);
    int StartTx(std::uint16_t length, const std::uint8_t* payload);
    int StopTx();
    int StartRx();
    int StopRx();
    int StartAte();
    void StopAte();
    // Frame delivery of the sniffer on (code 4) or off (code 5).
    void SnifferStartStop(std::uint32_t code);
    // Whole sniffer records delivered since the last read, at most `size`
    // bytes, into `buffer`; `bytes` gets their length. Nonzero on success.
    int ReadSnifferFrames(std::uint8_t* buffer, std::size_t size, std::size_t& bytes);
    int Calibration(std::uint32_t item, std::uint32_t argument);
    int TssiCompensation(std::uint32_t value);
    int TemperatureCompensation(std::uint32_t value);

    // Result of one raw exchange: `result` 0 with status and data (big-endian
    // bytes from frame offset 28) copied out, else the ReceiveResponse value.
    struct Reply {
        int result = -1;
        bool sent = true; // false: refused unsent, the sequence's board had stopped answering
        std::uint16_t status = 0;
        std::array<std::uint8_t, kDataSize> data; // zero past the received frame (filled by the exchange)
    };
    // Send + receive under the exchange lock, no message. Inside a sequence
    // whose board stopped answering nothing is sent (result -1, `sent` false).
    static Reply Exchange(std::uint16_t id, std::uint16_t length, const std::uint8_t* payload);
    // The same into the caller's reply: every field is written, so the 4 KB
    // of data are filled once per exchange and never copied again.
    static void Exchange(std::uint16_t id, std::uint16_t length, const std::uint8_t* payload, Reply& reply);

  protected:
    // A request payload in network order, filled field by field.
    struct Payload {
        std::uint8_t bytes[kMaxPayload];
        std::uint16_t length = 0;
        Payload& Byte(std::uint8_t v);
        Payload& Be16(std::uint16_t v);
        Payload& Be32(std::uint32_t v);
    };
    bool Run(const char* name, std::uint16_t id, const Payload& payload, Reply& reply) {
        return Run(name, id, payload.length, payload.bytes, reply);
    }
    // Exchange and report a failure with the command's two texts. True on success.
    bool Run(const char* name, std::uint16_t id, std::uint16_t length, const std::uint8_t* payload, Reply& reply);
};

// "<name> : Error Message => %d" and "<name> : Error Message => Receive packet status failed.....%d".
std::string TimeoutText(const char* name, int value);
std::string BadStatusText(const char* name, std::uint16_t status);

} // namespace vq
