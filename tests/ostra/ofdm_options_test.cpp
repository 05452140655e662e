// The simulated board's OFDM loopback option text and the capture it makes.

#include "agent/ofdm_packet.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using vq::agent::OfdmPacketOptions;
using vq::agent::ParseOfdmLoopback;

TEST(OfdmLoopbackOptions, ParsesKeysAndRefusesBadOnes) {
    std::string error;
    const auto o = ParseOfdmLoopback("rate=24,snr=17.5,cfo=-100e3,start=300,length=1500,seed=9,level=20,fault=parity", &error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->rateMbps, 24);
    EXPECT_EQ(o->snrDb, 17.5);
    EXPECT_EQ(o->cfoHz, -100e3);
    EXPECT_EQ(o->start, 300);
    EXPECT_EQ(o->lengthBytes, 1500);
    EXPECT_EQ(o->seed, 9u);
    EXPECT_EQ(o->level, 20);
    EXPECT_EQ(o->signalFault, OfdmPacketOptions::SignalFault::Parity);
    EXPECT_TRUE(ParseOfdmLoopback("", &error));
    EXPECT_EQ(ParseOfdmLoopback("snr=inf")->snrDb, INFINITY);

    for (const char* bad : {"rate=10", "rate=54.5", "start=8192", "start=-1", "length=0", "length=4096", "cfo=700e3",
                            "snr=abc", "level=0", "fault=tail", "speed=1", "rate", "rate=", "snr=nan"}) {
        error.clear();
        EXPECT_FALSE(ParseOfdmLoopback(bad, &error)) << bad;
        EXPECT_NE(error.find("OFDM loopback: "), std::string::npos) << bad;
    }
}

TEST(OfdmLoopbackCapture, FillsTheCaptureWithAdcValues) {
    OfdmPacketOptions o;
    o.snrDb = 0; // strong noise: the peaks reach the ADC's limits
    o.level = 60;
    const auto samples = vq::agent::OfdmCaptureSamples(o);
    const auto words = vq::agent::OfdmCaptureWords(o);
    ASSERT_EQ(samples.size(), vq::agent::kCaptureSamples);
    ASSERT_EQ(words.size(), vq::agent::kCaptureSamples);
    double low = 0, high = 0;
    for (std::size_t n = 0; n < samples.size(); ++n) {
        low = std::min({low, samples[n].real(), samples[n].imag()});
        high = std::max({high, samples[n].real(), samples[n].imag()});
        EXPECT_EQ(std::int8_t(words[n] >> 8), samples[n].real());
        EXPECT_EQ(std::int8_t(words[n] & 0xFF), samples[n].imag());
        EXPECT_EQ(words[n] >> 16, 0u);
    }
    EXPECT_EQ(low, -128);
    EXPECT_EQ(high, 127);
    EXPECT_EQ(vq::agent::OfdmPacketSamples(o), 800u + 160u * 4); // 54 Mbit/s, 100 bytes: four data symbols
}

} // namespace
