// The whole chain the FFT graph page runs: the simulated board transmits in
// loopback, a capture cycle reads the ring, and the real libOstra.so measures
// it the way the page loads it.

#include "agent/capture_memory.h"
#include "agent/inproc_transport.h"
#include "agent/txrx_counters.h"
#include "base/services.h"
#include "device/device_commands.h"
#include "link/link_session.h"
#include "measure/core/fft_capture.h"
#include "measure/core/ostra.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(OstraOnTheBoard, LoopbackCaptureReadsMinusSnrAndPlainNoiseIsNan) {
    vq::ResetLink();
    auto board = vq::agent::AttachSimulatedBoard();
    vq::RecordingPause pause;
    vq::SetPause(&pause);
    vq::OstraLibrary::SetCandidates({QStringLiteral(VQ_OSTRA_FILE)});
    vq::OstraLibrary library;
    ASSERT_TRUE(library.Load());
    auto* capture = board->Device<vq::agent::CaptureMemoryDevice>();
    ASSERT_NE(capture, nullptr);
    vq::CDeviceCommands dev;
    auto measure = [&] {
        const vq::CaptureResult r = vq::RunCaptureCycle(dev, {});
        std::vector<std::int32_t> i, q;
        vq::EvmInput(r.words, i, q);
        return library.RxEvm()(i.data(), q.data());
    };

    // Loopback on while the transmitter runs: the default packet (54 Mbit/s, 30 dB).
    dev.MacWrite(0x1004, 0x24);
    board->Device<vq::agent::TxRxCountersDevice>()->transmitting = true;
    EXPECT_NEAR(measure(), -30.0, 1.5);
    // A chosen packet: 6 Mbit/s at 10 dB, 80 kHz off.
    vq::agent::OfdmPacketOptions o;
    o.rateMbps = 6;
    o.snrDb = 10;
    o.cfoHz = 80e3;
    capture->ofdmLoopback = o;
    EXPECT_NEAR(measure(), -10.0, 1.5);
    // No transmitter, no option: the receiver's noise holds no packet.
    capture->ofdmLoopback.reset();
    board->Device<vq::agent::TxRxCountersDevice>()->transmitting = false;
    EXPECT_TRUE(std::isnan(measure()));

    vq::OstraLibrary::SetCandidates({});
    vq::SetPause(nullptr);
    vq::ResetLink();
}

} // namespace
