// The response decoder: frames from the input are what the link receives
// while one command (or one composite operation) waits for its answer, so
// ReceiveResponse's matching and the command layer's decoding of status and
// data see arbitrary frames. Input: operation byte, argument byte, then
// frames, each preceded by its length (big-endian 16-bit).

#include "device/device_commands.h"
#include "device/efuse.h"
#include "device/program_state.h"
#include "device/sequence.h"
#include "link/link_session.h"
#include "link/transport.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace {

class FrameFeed : public vq::ITransport {
  public:
    std::deque<std::vector<std::uint8_t>> frames;
    bool Send(const std::uint8_t*, std::size_t, std::string&) override { return true; }
    int Next(const std::uint8_t*& frame, std::size_t& length) override {
        if (frames.empty()) return 0;
        current_ = std::move(frames.front());
        frames.pop_front();
        frame = current_.data();
        length = current_.size();
        return 1;
    }
    std::string Name() const override { return "fuzz"; }

  private:
    std::vector<std::uint8_t> current_;
};

void Run(vq::CDeviceCommands& dev, unsigned op, unsigned arg) {
    static std::uint32_t words[1024];
    static std::uint16_t halfWords[2048];
    static std::uint8_t bytes[4096];
    std::uint32_t v32 = 0;
    std::uint16_t v16 = 0;
    std::uint8_t v8 = 0;
    const std::uint16_t count = std::uint16_t(arg * 17); // 0 .. 4335 bytes
    switch (op % 20) {
    case 0: dev.MacRead(0x1000, v32); break;
    case 1: dev.MacWrite(0x1000, 1); break;
    case 2: dev.MacMultiRead(0x1000, words, count); break;
    case 3: dev.BbpRead(arg, v8); break;
    case 4: dev.BbpWrite(arg, 1); break;
    case 5: dev.BbpReadAll(bytes); break;
    case 6: dev.CLinkCommands::EepromRead(std::uint16_t(arg * 2), v16); break;
    case 7: dev.EepromReadBulk(0, halfWords, count); break;
    case 8: dev.RfReadBulk(arg & 15, bytes, count); break;
    case 9: dev.GetTxTransmitCounter(v32); break;
    case 10: dev.GetRxCounter(words, count); break;
    case 11: dev.StartAte(); break;
    case 12: dev.StopAte(); break;
    case 13: dev.RfAccess(arg & 1, arg >> 4, arg & 63, v8); break;
    case 14: dev.BbpAccess(1, 66, v8); break; // the R66 fan-out over the receive paths
    case 15: dev.MacReadPolled(0x580, v32); break;
    case 16: vq::EfuseLogicalReadWord(dev, std::uint16_t(arg * 2), v16); break;
    case 17: dev.IndirectBbpValue(158, std::uint8_t(arg)); break;
    case 18: dev.Calibration(arg, 0); break;
    default: dev.BusyMode(std::uint16_t(arg & 7), bytes); break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    vq::fuzz::SimulatedBoard(); // messages and pauses
    vq::ResetLink();
    vq::State().antennaConfig = 0x0023;
    vq::State().efuseUpperByte = 1019;
    vq::State().efuseLowerByte = 960;
    vq::State().efuseBlocks = 60;
    auto feed = std::make_unique<FrameFeed>();
    for (std::size_t i = 2; i + 2 <= size;) {
        const std::size_t n = (std::size_t(data[i]) << 8 | data[i + 1]);
        i += 2;
        const std::size_t take = n < size - i ? n : size - i;
        feed->frames.emplace_back(data + i, data + i + take);
        i += take;
    }
    vq::Link().Attach(std::move(feed));
    {
        // One sequence: after the first time-out the rest of a composite
        // operation is not sent, as on a link.
        vq::DeviceSequence sequence;
        vq::CDeviceCommands dev;
        Run(dev, data[0], data[1]);
    }
    vq::ResetLink();
    return 0;
}
