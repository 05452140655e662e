// The board's command set against the protocol as the board's agent knows
// it: command ids, payload bytes and response layouts written out here as
// numbers, not taken from the constants the tool and the simulated board share.
#include "base/services.h"
#include "link/commands.h"
#include "link/link_session.h"
#include "tests/support/script_transport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace vq;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Answers every request with type 0x8008, the request's sequence, a status
// and the given data.
class AnsweringTransport : public vq::test::ScriptTransport {
  public:
    Bytes data;
    std::uint16_t status = 0;
    bool Send(const std::uint8_t* f, std::size_t n, std::string& error) override {
        ScriptTransport::Send(f, n, error);
        incoming.push_back(vq::test::Response(0x8008, 0, std::uint16_t(f[24] << 8 | f[25]), status, data));
        return true;
    }
    const Bytes& Request() const { return sent.back(); }
};

Bytes Counting(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = std::uint8_t(i);
    return b;
}

// Big-endian 16-bit words, word 0 first.
Bytes Words16(const std::vector<std::uint16_t>& words) {
    Bytes b;
    for (std::uint16_t w : words) {
        b.push_back(std::uint8_t(w >> 8));
        b.push_back(std::uint8_t(w));
    }
    return b;
}

struct Command {
    const char* name; // as the failure texts name it; null: no message
    std::uint16_t id;
    Bytes payload;
    Bytes response;
    // Runs the operation; returns what it handed back.
    std::function<std::vector<std::uint32_t>(CLinkCommands&)> run;
    std::vector<std::uint32_t> result;
};

} // namespace

TEST(Protocol, EveryCommandIdPayloadAndResponseLayout) {
    ResetLink();
    auto owned = std::make_unique<AnsweringTransport>();
    AnsweringTransport* transport = owned.get();
    Link().Attach(std::move(owned));
    RecordingPrompter prompter;
    SetPrompter(&prompter);

    std::vector<std::uint16_t> allWords(256);
    for (int i = 0; i < 256; ++i)
        allWords[i] = std::uint16_t(0x0100 * i + 0xFF - i);
    Bytes counters = Counting(60);
    std::vector<std::uint32_t> counterWords;
    for (int i = 0; i < 15; ++i)
        counterWords.push_back(std::uint32_t(0x01010101u * std::uint32_t(4 * i)) + 0x00010203u);

    const Command table[] = {
        {"EEPROM Read",
         1,
         {0x01, 0x34},
         {0xAB, 0xCD},
         [](CLinkCommands& c) {
             std::uint16_t w = 0;
             c.EepromRead(0x0134, w);
             return std::vector<std::uint32_t>{w};
         },
         {0xABCD}},
        {"EEPROM Write",
         2,
         {0x00, 0x10, 0xBE, 0xEF},
         {},
         [](CLinkCommands& c) {
             return std::vector<std::uint32_t>{std::uint32_t(c.EepromWrite(0x0010, 0xBEEF))};
         },
         {0}},
        {"EEPROM Write-All",
         4,
         Words16(allWords),
         {},
         [&](CLinkCommands& c) {
             c.EepromWriteAll(allWords.data());
             return std::vector<std::uint32_t>{};
         },
         {}},
        {"MAC Read",
         5,
         {0x00, 0x00, 0x10, 0x04},
         {0x12, 0x34, 0x56, 0x78},
         [](CLinkCommands& c) {
             std::uint32_t v = 0;
             c.MacRead(0x1004, v);
             return std::vector<std::uint32_t>{v};
         },
         {0x12345678}},
        {"MAC Write",
         6,
         {0x00, 0x00, 0x10, 0x08, 0xCA, 0xFE, 0xF0, 0x0D},
         {},
         [](CLinkCommands& c) {
             return std::vector<std::uint32_t>{std::uint32_t(c.MacWrite(0x1008, 0xCAFEF00D))};
         },
         {0}},
        {"MAC Multi-Read",
         7,
         {0x00, 0x00, 0x40, 0x00, 0x00, 0x02},
         {0, 0, 0, 1, 0x80, 0, 0, 2},
         [](CLinkCommands& c) {
             std::uint32_t w[2] = {};
             c.MacMultiRead(0x4000, w, 8);
             return std::vector<std::uint32_t>{w[0], w[1]};
         },
         {1, 0x80000002}},
        {"BBP Read",
         8,
         {0x00, 0x2C},
         {0x5A},
         [](CLinkCommands& c) {
             std::uint8_t v = 0;
             c.BbpRead(300, v);
             return std::vector<std::uint32_t>{v};
         },
         {0x5A}},
        {"BBP Write",
         9,
         {0x00, 0x42, 0x20},
         {},
         [](CLinkCommands& c) { return std::vector<std::uint32_t>{std::uint32_t(c.BbpWrite(66, 0x20))}; },
         {0}},
        {"BBP Read-All",
         10,
         {},
         Counting(256),
         [](CLinkCommands& c) {
             std::uint8_t t[256] = {};
             c.BbpReadAll(t);
             return std::vector<std::uint32_t>{t[0], t[1], t[255]};
         },
         {0, 1, 255}},
        {"GetRxCounter",
         11,
         {},
         counters,
         [](CLinkCommands& c) {
             std::vector<std::uint32_t> w(15);
             c.GetRxCounter(w.data(), 60);
             return w;
         },
         counterWords},
        {"ResetCounter",
         12,
         {},
         {},
         [](CLinkCommands& c) {
             c.ResetCounter();
             return std::vector<std::uint32_t>{};
         },
         {}},
        {"StartTX",
         16,
         {0x01, 0x02, 0x03},
         {},
         [](CLinkCommands& c) {
             const std::uint8_t p[3] = {1, 2, 3};
             c.StartTx(3, p);
             return std::vector<std::uint32_t>{};
         },
         {}},
        {"GetTxTransmitCounter",
         17,
         {},
         {0x00, 0x00, 0x01, 0x00},
         [](CLinkCommands& c) {
             std::uint32_t n = 0;
             c.GetTxTransmitCounter(n);
             return std::vector<std::uint32_t>{n};
         },
         {256}},
        {"StopTX",
         18,
         {},
         {},
         [](CLinkCommands& c) {
             c.StopTx();
             return std::vector<std::uint32_t>{};
         },
         {}},
        {"StartRX",
         19,
         {},
         {},
         [](CLinkCommands& c) { return std::vector<std::uint32_t>{std::uint32_t(c.StartRx())}; },
         {0}},
        {"StopRX",
         20,
         {},
         {},
         [](CLinkCommands& c) { return std::vector<std::uint32_t>{std::uint32_t(c.StopRx())}; },
         {0}},
        {"Start ATE",
         128,
         {},
         {},
         [](CLinkCommands& c) {
             c.StartAte();
             return std::vector<std::uint32_t>{};
         },
         {}},
        {nullptr,
         129,
         {},
         {},
         [](CLinkCommands& c) {
             c.StopAte();
             return std::vector<std::uint32_t>{};
         },
         {}},
        {"EEPROM Read-Bulk",
         276,
         {0x00, 0x20, 0x00, 0x05},
         {0x11, 0x22, 0x33, 0x44, 0x55, 0x66},
         [](CLinkCommands& c) {
             std::uint16_t w[3] = {};
             c.EepromReadBulk(0x0020, w, 5); // an odd count rounds up to whole words
             return std::vector<std::uint32_t>{w[0], w[1], w[2]};
         },
         {0x1122, 0x3344, 0x5566}},
        {"EEPROM Write-Bulk",
         277,
         {0x00, 0x40, 0x00, 0x04, 0x01, 0x02, 0x03, 0x04},
         {},
         [](CLinkCommands& c) {
             const std::uint16_t w[2] = {0x0102, 0x0304};
             return std::vector<std::uint32_t>{std::uint32_t(c.EepromWriteBulk(0x0040, w, 4))};
         },
         {0}},
        {"RF Read-Bulk",
         291,
         {0x00, 0x05, 0x00, 0x00, 0x00, 0x40},
         Counting(64),
         [](CLinkCommands& c) {
             std::uint8_t b[64] = {};
             c.RfReadBulk(5, b, 64);
             return std::vector<std::uint32_t>{b[0], b[63]};
         },
         {0, 63}},
        {"BusyMode",
         514,
         {0x00, 0x00, 0x00, 0x01},
         {},
         [](CLinkCommands& c) {
             const std::uint8_t p[4] = {0, 0, 0, 1};
             return std::vector<std::uint32_t>{std::uint32_t(c.BusyMode(4, p))};
         },
         {0}},
        {"Calibration",
         516,
         {0, 0, 0, 5, 0, 0, 0, 1},
         {},
         [](CLinkCommands& c) { return std::vector<std::uint32_t>{std::uint32_t(c.Calibration(5, 1))}; },
         {0}},
        {"TSSI_Compensation",
         517,
         {0, 0, 0, 1},
         {},
         [](CLinkCommands& c) {
             c.TssiCompensation(1);
             return std::vector<std::uint32_t>{};
         },
         {}},
        {"Temperature_Compensation",
         518,
         {0x12, 0x34, 0x56, 0x78},
         {},
         [](CLinkCommands& c) {
             c.TemperatureCompensation(0x12345678);
             return std::vector<std::uint32_t>{};
         },
         {}},
    };

    CLinkCommands commands;
    for (const Command& c : table) {
        SCOPED_TRACE(c.id);
        transport->status = 0;
        transport->data = c.response;
        prompter.Clear();
        EXPECT_EQ(c.run(commands), c.result);
        EXPECT_TRUE(prompter.Texts().empty()) << prompter.Last();

        // Request frame: type 8, the id, the payload length, the payload from offset 26.
        const Bytes& f = transport->Request();
        EXPECT_EQ(f.size(), std::max<std::size_t>(60, 26 + c.payload.size()));
        if (f.size() < 26 + c.payload.size()) continue;
        EXPECT_EQ((Bytes{f[18], f[19]}), (Bytes{0x00, 0x08}));
        EXPECT_EQ(f[20] * 256 + f[21], c.id);
        EXPECT_EQ(f[22] * 256 + f[23], int(c.payload.size()));
        EXPECT_EQ(Bytes(f.begin() + 26, f.begin() + 26 + c.payload.size()), c.payload);

        // A bad status is reported with the command's own name; id 129 stays silent.
        transport->status = 0x8001;
        prompter.Clear();
        c.run(commands);
        if (c.name) {
            EXPECT_EQ(prompter.Last(),
                      std::string(c.name) + " : Error Message => Receive packet status failed.....32769");
        } else {
            EXPECT_TRUE(prompter.Texts().empty());
        }
    }
    SetPrompter(nullptr);
    ResetLink();
}
