// Simulated VQ9447 board: the test agent's command handling over a register
// model of the chip. Served in-process (tests, no-hardware mode) or on a
// network interface by the vq9447-agent program.
#pragma once

#include "link/command_frame.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace vq::agent {

class BoardModel;

// A peripheral of the simulated chip. Each hook returns true when it handled
// the access; the first device that does wins, else the plain register model
// answers. Devices live in their own files and are installed by
// InstallStandardDevices (agent/devices.cpp).
class BoardDevice {
  public:
    virtual ~BoardDevice() = default;
    virtual bool MacRead(BoardModel& board, std::uint32_t address, std::uint32_t& value) { return false; }
    virtual bool MacWrite(BoardModel& board, std::uint32_t address, std::uint32_t value) { return false; }
    virtual bool BbpRead(BoardModel& board, std::uint8_t reg, std::uint8_t& value) { return false; }
    virtual bool BbpWrite(BoardModel& board, std::uint8_t reg, std::uint8_t value) { return false; }
    // Whole-command override: fill `status` and `data`, return true.
    virtual bool Command(BoardModel& board, std::uint16_t id, const std::uint8_t* payload, std::size_t length,
                         std::uint16_t& status, std::vector<std::uint8_t>& data) {
        return false;
    }
    // Called before every command with the board's clock (microseconds).
    virtual void Advance(BoardModel& board, std::uint64_t nowUs) {}
    virtual void Reset(BoardModel& board) {}
};

struct ExchangeLogEntry {
    std::uint16_t commandId;
    std::uint16_t sequence;
    std::vector<std::uint8_t> payload;
    std::uint16_t status;
};

// Fault injection for the served link.
struct FaultOptions {
    unsigned dropEveryNth = 0;          // drop every Nth response (0: never)
    unsigned delayMs = 0;               // delay each response
    int failCommand = -1;               // answer this command id with `failStatus`
    std::uint16_t failStatus = 0x8001;
    bool staleFirst = false;            // send a previous-sequence response before the right one
    bool requestTypeInReply = false;    // answer with the request type instead of the response type
};

class BoardModel {
  public:
    BoardModel();

    // Handles one request frame and returns the response frames to send
    // (usually one; none for a malformed or dropped request). Thread-safe.
    std::vector<std::vector<std::uint8_t>> HandleFrame(const std::uint8_t* frame, std::size_t length);

    // Register model (plain storage; devices may intercept).
    std::uint32_t MacRead(std::uint32_t address);
    void MacWrite(std::uint32_t address, std::uint32_t value);
    std::uint8_t BbpRead(std::uint8_t reg);
    void BbpWrite(std::uint8_t reg, std::uint8_t value);
    std::uint8_t& Rf(unsigned bank, unsigned reg) { return rf_[bank & 0xF][reg & 0x3F]; }
    std::uint16_t EepromWord(unsigned offset) const;
    void SetEepromWord(unsigned offset, std::uint16_t word);
    std::uint8_t* Eeprom() { return eeprom_; }

    // Direct storage access for devices and tests (bypass the devices).
    std::uint32_t RawMac(std::uint32_t address) const;
    // Stores a MAC word. The map holds at most kMaxMacWords distinct
    // addresses: a write to a new address beyond that is dropped (the address
    // keeps reading 0), so a stream of distinct writes cannot grow the board
    // without bound. Addresses already held are always updated.
    void SetRawMac(std::uint32_t address, std::uint32_t value);
    static constexpr std::size_t kMaxMacWords = 65536;
    std::size_t MacWordsHeld() const { return mac_.size(); }

    // Longest frame the link carries (the interface's MTU plus the Ethernet
    // header). A response that would be longer is answered with
    // kStatusResponseTooLong and no data instead.
    void SetMaxFrameLength(std::size_t length);
    static constexpr std::uint16_t kStatusResponseTooLong = 0x0003;
    std::uint8_t& RawBbp(std::uint8_t reg) { return bbp_[reg]; }
    std::uint8_t R66(int path) const { return r66_[path & 3]; }
    std::uint8_t Indirect158(std::uint8_t index) const { return table158_[index]; }
    std::uint8_t Indirect195(std::uint8_t index) const { return table195_[index]; }
    void SetIndirect158(std::uint8_t index, std::uint8_t v) { table158_[index] = v; }
    void SetIndirect195(std::uint8_t index, std::uint8_t v) { table195_[index] = v; }

    void AddDevice(std::shared_ptr<BoardDevice> device);
    // Ahead of the installed devices: a test's stand-in answers first.
    void InsertDevice(std::shared_ptr<BoardDevice> device);
    template <class T> T* Device() {
        for (auto& d : devices_)
            if (auto* p = dynamic_cast<T*>(d.get())) return p;
        return nullptr;
    }

    // Exchange log.
    std::vector<ExchangeLogEntry> Log() const;
    void ClearLog();
    std::size_t LogSize() const;
    void SetLogging(bool on) { logging_ = on; }

    // Board clock in microseconds: steady clock by default, settable by tests.
    std::uint64_t NowUs() const;
    void SetClock(std::function<std::uint64_t()> clock) { clock_ = std::move(clock); }

    FaultOptions faults;
    bool poweredOn = true; // switched off: every request goes unanswered
    bool ateMode = false;  // between Start ATE and id 129

    // Factory content of the EEPROM and register defaults; devices reset too.
    void Reset();
    static void DefaultEeprom(std::uint8_t image[512]);

    std::recursive_mutex& Mutex() { return mutex_; }

  private:
    void Dispatch(std::uint16_t id, const std::uint8_t* payload, std::size_t length, std::uint16_t& status,
                  std::vector<std::uint8_t>& data);
    void RfControlWrite(std::uint32_t value);

    mutable std::recursive_mutex mutex_;
    std::unordered_map<std::uint32_t, std::uint32_t> mac_;
    std::uint8_t bbp_[256] = {};
    std::uint8_t r66_[4] = {};
    std::uint8_t table158_[256] = {};
    std::uint8_t table195_[256] = {};
    std::uint8_t rf_[16][64] = {};
    std::uint8_t eeprom_[512] = {};
    std::vector<std::shared_ptr<BoardDevice>> devices_;
    std::vector<ExchangeLogEntry> log_;
    bool logging_ = true;
    unsigned responseCount_ = 0;
    std::vector<std::uint8_t> lastResponse_;
    std::size_t maxFrameLength_ = kFrameBufferSize;
    std::function<std::uint64_t()> clock_;
};

// Installs every peripheral of the simulated chip (one line per device).
void InstallStandardDevices(BoardModel& board);

} // namespace vq::agent
