// The RX EVM figure on simulated loopback captures: accuracy across rate,
// SNR, carrier offset and position; the captures that must give NaN; the
// capture's edges; the floor the 8-bit ADC leaves.

#include "tests/ostra/ostra_capture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using vq::agent::OfdmPacketOptions;
using vq::test::Measure;

TEST(RxEvm, FollowsSnrAtEveryRateOffsetAndPosition) {
    const double offsets[] = {-100e3, -40e3, 0, 65e3, 100e3};
    unsigned row = 0;
    for (int rate : {6, 24, 54}) {
        for (double snr : {10.0, 20.0, 30.0}) {
            OfdmPacketOptions o;
            o.rateMbps = rate;
            o.snrDb = snr;
            o.cfoHz = offsets[row % 5];
            o.seed = 11 + row;
            const int last = int(vq::agent::kCaptureSamples - vq::agent::OfdmPacketSamples(o));
            o.start = row % 4 == 3 ? last : int(row * 631 % unsigned(last)); // the last row ends on the last sample
            ++row;
            SCOPED_TRACE(testing::Message() << rate << " Mbit/s, " << snr << " dB, " << o.cfoHz << " Hz, start " << o.start);
            const ostra::RxEvmResult r = Measure(o);
            EXPECT_NEAR(r.evmDb, -snr, 1.5);
            EXPECT_EQ(r.rateMbps, rate);
            EXPECT_EQ(r.lengthBytes, o.lengthBytes);
            EXPECT_EQ(r.longTrainingStart, o.start + 384);
            EXPECT_NEAR(r.cfoHz, o.cfoHz, 2e3);
            EXPECT_EQ(r.dataSymbols, int(vq::agent::OfdmPacketSamples(o) - 800) / 160);
        }
    }
}

// With the noise at the decision boundaries the nearest-point figure reads
// several dB too good; the reported one stays with the SNR.
TEST(RxEvm, DenseConstellationsAtLowSnrAreNotFlattered) {
    struct Row {
        int rate;
        double snr;
        double nearestAtLeastBetterBy;
    } const rows[] = {{54, 10, 4}, {54, 15, 2}, {36, 10, 1}};
    for (const Row& row : rows) {
        OfdmPacketOptions o;
        o.rateMbps = row.rate;
        o.snrDb = row.snr;
        o.lengthBytes = 400;
        SCOPED_TRACE(testing::Message() << row.rate << " Mbit/s at " << row.snr << " dB");
        const ostra::RxEvmResult r = Measure(o);
        EXPECT_NEAR(r.evmDb, -row.snr, 1.5);
        EXPECT_LT(r.nearestEvmDb, r.evmDb - row.nearestAtLeastBetterBy);
    }
}

TEST(RxEvm, NotANumberWithoutAPacketOrWithABadSignal) {
    struct Row {
        const char* what;
        OfdmPacketOptions options;
        bool detected;
    };
    auto with = [](auto change) {
        OfdmPacketOptions o;
        change(o);
        return o;
    };
    const Row rows[] = {
        {"pure noise", with([](OfdmPacketOptions& o) { o.snrDb = -200; }), false},
        {"quiet noise", with([](OfdmPacketOptions& o) { o.snrDb = -200, o.level = 2; }), false},
        {"all zero", with([](OfdmPacketOptions& o) { o.level = 1e-3; }), false},
        {"SIGNAL parity", with([](OfdmPacketOptions& o) { o.signalFault = OfdmPacketOptions::SignalFault::Parity; }), true},
        {"SIGNAL rate", with([](OfdmPacketOptions& o) { o.signalFault = OfdmPacketOptions::SignalFault::Rate; }), true},
        {"cut before SIGNAL", with([](OfdmPacketOptions& o) { o.start = 8192 - 700; }), true},
        {"only the short training", with([](OfdmPacketOptions& o) { o.start = 8192 - 330; }), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        for (std::uint32_t seed : {1u, 2u, 3u}) {
            OfdmPacketOptions o = row.options;
            o.seed = seed;
            const ostra::RxEvmResult r = Measure(o);
            EXPECT_TRUE(std::isnan(r.evmDb)) << r.evmDb;
            EXPECT_EQ(r.detected, row.detected);
            EXPECT_FALSE(r.signalValid);
        }
    }
}

TEST(RxEvm, MeasuresTheDataSymbolsInsideTheCapture) {
    struct Row {
        int start;
        int symbols; // of 35 at 6 Mbit/s, 100 bytes
    } const rows[] = {{0, 35}, {8192 - 6400, 35}, {8192 - 3000, 13}, {8192 - 960, 1}, {8192 - 900, 0}};
    for (const Row& row : rows) {
        OfdmPacketOptions o;
        o.rateMbps = 6;
        o.snrDb = 25;
        o.start = row.start;
        SCOPED_TRACE(testing::Message() << "start " << row.start);
        const ostra::RxEvmResult r = Measure(o);
        EXPECT_TRUE(r.signalValid);
        EXPECT_EQ(r.dataSymbols, row.symbols);
        if (row.symbols) EXPECT_NEAR(r.evmDb, -25, 1.5);
        else EXPECT_TRUE(std::isnan(r.evmDb));
    }
}

// Without added noise the ADC's rounding alone sets the figure: about -43 dB
// at the generator's level of 28 steps RMS, the same at every rate.
TEST(RxEvm, QuantisationFloor) {
    for (int rate : {6, 9, 12, 18, 24, 36, 48, 54}) {
        OfdmPacketOptions o;
        o.rateMbps = rate;
        o.snrDb = INFINITY;
        o.cfoHz = -70e3;
        SCOPED_TRACE(rate);
        const ostra::RxEvmResult r = Measure(o);
        EXPECT_LT(r.evmDb, -41);
        EXPECT_GT(r.evmDb, -46);
        EXPECT_EQ(r.evmDb, r.nearestEvmDb);
    }
}

} // namespace
