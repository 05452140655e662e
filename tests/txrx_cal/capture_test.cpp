// The capture run and its data file writer against a capture engine whose
// memory holds a known pattern.
#include "base/services.h"
#include "formats/saved_file.h"
#include "link/command_frame.h"
#include "link/commands.h"
#include "tests/support/board_fixture.h"
#include "tests/txrx_cal/capture_board.h"
#include "txrx/core/capture_run.h"
#include "txrx/core/capture_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using namespace vq;

namespace {

class CaptureTest : public test::BoardTest, public test::ScratchFiles {
  protected:
    CaptureTest() : ScratchFiles("capture_") {}
    void SetUp() override {
        BoardTest::SetUp();
        stub = std::make_shared<test::CaptureStub>();
        board->InsertDevice(stub);
        CaptureSetting() = CaptureSettings();
    }
    // The (address, word count) of every MAC Multi-Read.
    std::vector<std::pair<std::uint32_t, unsigned>> MultiReads() const {
        std::vector<std::pair<std::uint32_t, unsigned>> out;
        for (const auto& e : Exchanges(cmd::MacMultiRead))
            out.emplace_back(GetBe32(e.payload.data()), GetBe16(e.payload.data() + 4));
        return out;
    }
    // Values written to one MAC address, in order.
    std::vector<std::uint32_t> MacWrites(std::uint32_t address) const {
        std::vector<std::uint32_t> out;
        for (const auto& e : Exchanges(cmd::MacWrite))
            if (GetBe32(e.payload.data()) == address) out.push_back(GetBe32(e.payload.data() + 4));
        return out;
    }
    std::vector<std::pair<unsigned, unsigned>> BbpWrites() const {
        std::vector<std::pair<unsigned, unsigned>> out;
        for (const auto& e : Exchanges(cmd::BbpWrite))
            out.emplace_back(GetBe16(e.payload.data()), e.payload[2]);
        return out;
    }
    std::shared_ptr<test::CaptureStub> stub;
};

std::string Lines(std::initializer_list<const char*> lines) {
    std::string s;
    for (const char* l : lines)
        s += std::string(l) + "\r\n";
    return s;
}

TEST(CaptureText, SignedBytesGroupsAndLineEnds) {
    CaptureMemory m;
    m.a.assign(kCaptureAWords, 0);
    m.b.assign(kCaptureBWords, 0);
    m.a[0] = 0x807F0001; // bytes 0..3: 01 00 7F 80
    m.b[0] = 0x7F80FF02; // even word of index 0
    m.b[1] = 0x00000081; // odd word of index 0
    std::ostringstream plain, adc6;
    WriteCaptureText(plain, m, false);
    WriteCaptureText(adc6, m, true);
    const std::string text = plain.str();
    const std::string first = Lines({"0\t+1\t+127\t-128\t-1\t+2", "-128\t+127\t0\t0\t0\t-127"});
    EXPECT_EQ(text.substr(0, first.size()), first);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 8191) << "8192 lines, none after the last";
    EXPECT_EQ(text.substr(text.size() - 13), "\r\n0\t0\t0\t0\t0\t0");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 8191);
    const std::string one = adc6.str();
    const std::string column = Lines({"0\t", "+1\t", "+127\t", "-128\t", "-1\t", "+2", "-128\t"});
    EXPECT_EQ(one.substr(0, column.size()), column);
    EXPECT_EQ(std::count(one.begin(), one.end(), '\n'), 12 * 4096 - 1) << "one value a line";
}

TEST_F(CaptureTest, RegionsAreReadFromTheEndPointerInChunksThatWrap) {
    const struct {
        std::uint32_t e;
        std::uint32_t firstA; // the first read address of region A
        std::uint32_t firstB;
    } cases[] = {
        {0, 0x4000, 0x8000}, {0x100, 0x4200, 0x8400}, {0x101, 0x4200, 0x8404}, {0x1FFF, 0x7FFC, 0xFFFC}};
    for (const auto& c : cases) {
        board->ClearLog();
        CDeviceCommands dev;
        CaptureMemory m;
        ASSERT_TRUE(ReadCaptureMemory(dev, c.e, m));
        const auto reads = MultiReads();
        ASSERT_FALSE(reads.empty());
        EXPECT_EQ(reads.front().first, c.firstA) << c.e;
        unsigned wordsA = 0, wordsB = 0;
        for (auto [address, count] : reads) {
            EXPECT_LE(count, kCaptureChunkWords);
            const bool inA = address < kCaptureAEnd;
            EXPECT_LE(address + 4 * count, inA ? kCaptureAEnd : kCaptureBEnd) << "no chunk crosses the end";
            (inA ? wordsA : wordsB) += count;
        }
        EXPECT_EQ(wordsA, c.e % 2 ? 4098u : 4096u) << c.e;
        EXPECT_EQ(wordsB, 8192u);
        // Sample i of A is the 16-bit step 2E + 4i from the region's start, unrolled.
        for (unsigned i : {0u, 1u, 4095u}) {
            std::uint32_t expected = 0;
            for (int k = 0; k < 4; ++k) {
                const std::uint32_t at = 0x4000 + (2 * c.e + 4 * i + k) % 0x4000;
                expected |= std::uint32_t(test::CaptureStub::PatternByte(at)) << (8 * k);
            }
            EXPECT_EQ(m.a[i], expected) << c.e << " " << i;
            EXPECT_EQ(m.b[2 * i + 1],
                      test::CaptureStub::PatternWord(0x8000 + (4 * c.e + 8 * i + 4) % 0x8000));
        }
        if (c.e == 0x1FFF) {
            ASSERT_GE(reads.size(), 2u);
            EXPECT_EQ(reads[0], std::make_pair(0x7FFCu, 1u)) << "wraps to 0x4000 at once";
            EXPECT_EQ(reads[1].first, 0x4000u);
        }
    }
}

TEST_F(CaptureTest, RegisterSequencePerSource) {
    const struct {
        const char* name;
        bool autoTrigger, adcMode, adc6, txSide;
        std::uint32_t offset;
        std::uint32_t sourceWrite; // first 0x440 write (the register reads 0 before)
        std::uint32_t r1004;
        bool savesR60;
    } cases[] = {
        {"FEQ", true, false, true, true, 0x200, 0x80000000, 8, false},
        {"ADC8", true, true, false, true, 0, 0x00000000, 8, false},
        {"ADC6 TX", false, true, true, true, 0x2000, 0x00008000, 4, true},
        {"ADC6 RX", true, true, true, false, 0x1FFF, 0x00008000, 8, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        board->Reset();
        board->BbpWrite(60, 0x5A);
        board->ClearLog();
        stub->endPointer = 0x0456;
        CaptureSettings s{c.autoTrigger, c.adcMode, c.adc6, c.txSide, c.offset, 1};
        CDeviceCommands dev;
        EXPECT_EQ(TriggerCapture(dev, s), 0x0456u);
        const auto control = MacWrites(0x440);
        ASSERT_GE(control.size(), 3u);
        EXPECT_EQ(control[0], c.sourceWrite);
        const std::uint32_t field = c.offset >= 1 && c.offset <= 8191 ? c.offset << 16 : 0;
        EXPECT_EQ(control[1], c.sourceWrite | field) << "trigger offset in bits 16..28";
        EXPECT_EQ(control[2], c.sourceWrite | field | kCaptureArm);
        if (!c.autoTrigger) {
            EXPECT_EQ(control.back(), c.adc6 ? 0x20008000u : 0x20000000u);
        }
        EXPECT_EQ(MacWrites(0x1004), (std::vector<std::uint32_t>{0, c.r1004, 0}));
        const auto bbp = BbpWrites();
        if (c.savesR60) {
            EXPECT_EQ(bbp, (std::vector<std::pair<unsigned, unsigned>>{
                               {60, 0x80}, {142, 16}, {143, 5}, {60, 0x5A}}));
        } else {
            EXPECT_TRUE(bbp.empty());
        }
        EXPECT_EQ(board->BbpRead(60), 0x5A);
    }
    // A trigger that never comes ends the wait after 1000 polls of 10 ms.
    stub->pollsUntilDone = 5000;
    pause.Clear();
    CDeviceCommands dev;
    TriggerCapture(dev, CaptureSettings());
    EXPECT_EQ(pause.Total(), 10000u);
    EndCapture(dev);
    EXPECT_EQ(board->MacRead(0x400) & 0x4000, 0u);
    EXPECT_EQ(board->MacRead(0x410), 0x20u);
    EXPECT_EQ(board->MacRead(0x408), 0xF40016u);
}

TEST_F(CaptureTest, RunWritesOneWholeFilePerCapture) {
    EXPECT_EQ(CaptureFileNames("/d/cap", 1), std::vector<std::string>{"/d/cap.txt"});
    const auto names = CaptureFileNames(Path("cap"), 3);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[2], Path("cap_00003.txt"));
    // An older, longer file loses its tail: the capture replaces it whole.
    WriteFile(names[0], std::string(400000, 'x'));
    CDeviceCommands dev;
    ASSERT_TRUE(RunCaptures(dev, CaptureSettings(), names));
    EXPECT_EQ(stub->arms, 3u);
    CaptureMemory m;
    ASSERT_TRUE(ReadCaptureMemory(dev, stub->endPointer, m));
    std::ostringstream expected;
    WriteCaptureText(expected, m, false);
    for (const auto& name : names)
        EXPECT_EQ(ReadFile(name), expected.str()) << name;
    EXPECT_TRUE(prompter.Texts().empty());
}

TEST_F(CaptureTest, FailuresStopTheRunAndNameTheFile) {
    // A file that cannot be created.
    CDeviceCommands dev;
    EXPECT_FALSE(RunCaptures(dev, CaptureSettings(), {Path("missing/cap.txt"), Path("next.txt")}));
    EXPECT_EQ(prompter.Last(), kCaptureNotOpenedText);
    EXPECT_EQ(stub->arms, 0u);
    // A failed memory read: the file keeps its old content and the rest is not taken.
    prompter.Clear();
    WriteFile(Path("old.txt"), "old");
    board->faults.failCommand = cmd::MacMultiRead;
    EXPECT_FALSE(RunCaptures(dev, CaptureSettings(), {Path("old.txt"), Path("next.txt")}));
    EXPECT_EQ(ReadFile(Path("old.txt")), "old");
    EXPECT_FALSE(std::filesystem::exists(Path("next.txt")));
    EXPECT_EQ(prompter.Last(), ReadFailedText("The capture memory", Path("old.txt")));
    EXPECT_EQ(stub->arms, 1u);
    EXPECT_EQ(board->MacRead(0x408), 0xF40016u) << "the MAC gets its memory back all the same";
}

} // namespace
