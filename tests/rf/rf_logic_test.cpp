#include "formats/text_files.h"
#include "registers/core/rf_files.h"
#include "registers/core/rf_values.h"
#include "registers/core/synth_table.h"

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>

using namespace vq;
using namespace vq::rf;

TEST(RfValues, CaptionsOfBanksAndChannels) {
    EXPECT_STREQ(BankName(0), "  Bank 0: Central");
    EXPECT_STREQ(BankName(2), "  Bank 2: RF  Common");
    EXPECT_STREQ(BankName(9), "  Bank 9: VGA Antenna_2");
    EXPECT_STREQ(BankName(10), "  Bank10: RF  Antenna_3");
    EXPECT_STREQ(BankName(15), "  Bank15: Reserved");
    EXPECT_STREQ(BankName(16), "");
    EXPECT_EQ(ChannelCaption(0), "    1  2412-MHz");
    EXPECT_EQ(ChannelCaption(8), "    9  2452-MHz");
    EXPECT_EQ(ChannelCaption(9), "  10  2457-MHz");
    EXPECT_EQ(ChannelCaption(12), "  13  2472-MHz");
    EXPECT_EQ(ChannelCaption(13), "  14  2484-MHz");
    EXPECT_EQ(ChannelCaption(14), "");
}

TEST(RfValues, BitButtonIdsOfBothPages) {
    EXPECT_EQ(BitButtonId(0, 0, 7), 1667);
    EXPECT_EQ(BitButtonId(0, 31, 7), 1915);
    EXPECT_EQ(BitButtonId(32, 32, 0), 1404);
    EXPECT_EQ(BitButtonId(32, 63, 7), 1659);
    for (int first : {0, 32})
        for (int r = first; r < first + 32; ++r)
            for (int b = 0; b < 8; ++b) {
                auto pos = BitFromButtonId(first, BitButtonId(first, r, b));
                ASSERT_TRUE(pos);
                EXPECT_EQ(pos->reg, r);
                EXPECT_EQ(pos->bit, b);
            }
    EXPECT_FALSE(BitFromButtonId(0, 1659));
    EXPECT_FALSE(BitFromButtonId(0, 1916));
    EXPECT_FALSE(BitFromButtonId(32, 1403));
    EXPECT_FALSE(BitFromButtonId(32, 1660));
    EXPECT_EQ(ValueEditId(0, 31), 1397);
    EXPECT_EQ(ValueEditId(32, 63), 1278);
}

TEST(RfValues, TextNumbers) {
    EXPECT_EQ(HexByte("2F"), 0x2F);
    EXPECT_EQ(HexByte("2f"), 0x2F);
    EXPECT_EQ(HexByte(" 0x3c"), 0x3C);
    EXPECT_EQ(HexByte(""), 0);
    EXPECT_EQ(HexByte("G1"), 0);
    EXPECT_EQ(HexByte("1FF"), 0xFF);
    EXPECT_EQ(DecimalNumber("40"), 40);
    EXPECT_EQ(DecimalNumber(""), 0);
    EXPECT_EQ(DecimalNumber("99999999999999"), 0x7FFFFFFF);
    EXPECT_TRUE(CaptionShowsSet("1"));
    EXPECT_FALSE(CaptionShowsSet("0"));
    EXPECT_FALSE(CaptionShowsSet(""));
    EXPECT_EQ(ToggledValue(0x01, 7, false), 0x81);
    EXPECT_EQ(ToggledValue(0xFF, 0, true), 0xFE);
}

TEST(RfValues, SpinRanges) {
    EXPECT_FALSE(TxPowerStep(0x2F, +1));
    EXPECT_FALSE(TxPowerStep(0x00, -1));
    EXPECT_FALSE(TxPowerStep(0xFF, -1)); // far outside stays outside
    EXPECT_EQ(*TxPowerStep(0x2E, +1), 0x2F);
    EXPECT_EQ(*TxPowerStep(0x01, -1), 0x00);
    EXPECT_EQ(WithTxPower(0xFFFFFFFF, 0, 0x05), 0xFFFFFFC5u);
    EXPECT_EQ(WithTxPower(0xFFFFFFFF, 1, 0x05), 0xFFFFC5FFu);
    EXPECT_EQ(WithTxPower(0x00001234, 1, 0x2F), 0x00002F34u);

    EXPECT_FALSE(FreqOffsetStep(0xFF, +1));
    EXPECT_FALSE(FreqOffsetStep(0xFF, -1));
    EXPECT_FALSE(FreqOffsetStep(0x00, -1));
    EXPECT_EQ(*FreqOffsetStep(0xFE, +1), 0xFF);
    EXPECT_EQ(*FreqOffsetStep(0x10, -1), 0x0F);
}

TEST(RfValues, ExtensionRulesLookAtTheFileName) {
    EXPECT_EQ(WithTxtExtension("/p/regs"), "/p/regs.txt");
    EXPECT_EQ(WithTxtExtension("/p/regs.txt"), "/p/regs.txt");
    EXPECT_EQ(WithTxtExtension("/p/regs.txt.bak"), "/p/regs.txt.bak");
    EXPECT_EQ(WithTxtExtension("/p/regs.dat"), "/p/regs.dat.txt");
    EXPECT_EQ(WithTxtExtension("/a.txt/regs"), "/a.txt/regs.txt");
    EXPECT_EQ(WithExtensionIfNone("/p/test", ".txt"), "/p/test.txt");
    EXPECT_EQ(WithExtensionIfNone("/p/test.log", ".txt"), "/p/test.log");
    EXPECT_EQ(WithExtensionIfNone("/p.d/test", ".txt"), "/p.d/test.txt");
}

// The synthesizer's fraction is the VCO over the 40 MHz comparison frequency
// (20 MHz crystal, R = 0.5): N + Ksd / 2^18.
TEST(RfSynthTable, RowsAreConsistentWithTheVcoFrequency) {
    ASSERT_EQ(SynthEntry(-1), nullptr);
    ASSERT_EQ(SynthEntry(14), nullptr);
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", SynthEntry(0)->vco);
    EXPECT_STREQ(text, "3216.000");
    std::snprintf(text, sizeof text, "%.3f", SynthEntry(1)->vco);
    EXPECT_STREQ(text, "3222.667");
    std::snprintf(text, sizeof text, "%.3f", SynthEntry(13)->vco);
    EXPECT_STREQ(text, "3312.000");
    for (int i = 0; i < kSynthTableSize; ++i) {
        const ChannelSynthEntry& e = *SynthEntry(i);
        EXPECT_EQ(e.channel, i + 1);
        EXPECT_NEAR(e.carrier, (i == 13 ? 2484 : 2407 + 5 * (i + 1)) / 1000.0, 1e-9);
        EXPECT_NEAR(e.vco, e.carrier * 4000.0 / 3.0, 1e-6);
        EXPECT_EQ(e.r, 0.5);
        EXPECT_EQ(e.k, 0);
        EXPECT_EQ(e.d, 8);
        const double ratio = e.vco / 40.0;
        EXPECT_EQ(e.n, unsigned(ratio)) << i;
        EXPECT_EQ(e.ksd, std::uint32_t(std::floor((ratio - e.n) * 262144.0 + 1e-6))) << i;
    }
}

TEST(RfFiles, ScriptLinesAreWholeOrSkipped) {
    ScriptFields f;
    EXPECT_EQ(ParseScriptLine("1 2 5 3F", f), ScriptStep::Write);
    EXPECT_EQ(f.bank, 2);
    EXPECT_EQ(f.reg, 5);
    EXPECT_EQ(f.value, 0x3Fu);
    EXPECT_EQ(ParseScriptLine("0 0 12", f), ScriptStep::Read);
    EXPECT_EQ(f.bank, 0);
    EXPECT_EQ(f.reg, 12);
    // Operation 256: low byte zero, a read.
    EXPECT_EQ(ParseScriptLine("256 3 1", f), ScriptStep::Read);
    EXPECT_EQ(ParseScriptLine("\t 7  1  2  0x0a\r", f), ScriptStep::Write);
    EXPECT_EQ(f.value, 0x0Au);
    // An incomplete or garbage line is not run with the previous line's numbers.
    const std::pair<const char*, const char*> skipped[] = {
        {"1 4 zz 10", skip::kNoRegister}, {"1 zz", skip::kNoBank},         {"1 4 5", skip::kNoValue},
        {"0 4", skip::kNoRegister},       {"x1 2 3 4", skip::kNotANumber}, {"1a 2 3 4", skip::kNotANumber},
        {"", skip::kNotANumber},
    };
    for (const auto& [line, why] : skipped) {
        const char* got = nullptr;
        EXPECT_EQ(ParseScriptLine(line, f, &got), ScriptStep::Skip) << line;
        EXPECT_STREQ(got, why) << line;
    }
    EXPECT_EQ(f.operation, 7);
    EXPECT_EQ(f.value, 0x0Au);

    EXPECT_EQ(ScriptLogText(ScriptStep::Write, 2, 5, 0x3F), "W:\tBank02, RF R5\t= 0x3F\n");
    EXPECT_EQ(ScriptLogText(ScriptStep::Read, 4, 7, 0x0C), "R:\tBank04, RF R7\t= 0x0C\n");
}

TEST(RfFiles, RegisterAndDumpLines) {
    EXPECT_EQ(RegisterFileLine(4, 12, 0x3C), "4 012 3C\n");
    EXPECT_EQ(AteDumpLine(5, 63, 0x0A), "5  063 = 0A\n");
    EXPECT_EQ(TestLine(3, 0x10, 0x11), "R3\t10\t11\n");
    RegisterFields f;
    ASSERT_TRUE(ParseRegisterLine("4 012 3C", f));
    EXPECT_EQ(f.bank, 4);
    EXPECT_EQ(f.reg, 12); // leading zeros are decimal, not octal
    EXPECT_EQ(f.value, 0x3Cu);
    const char* why = nullptr;
    EXPECT_FALSE(ParseRegisterLine("7 x", f, &why));
    EXPECT_STREQ(why, skip::kNoRegister);
    EXPECT_FALSE(ParseRegisterLine("7 12", f, &why)); // once wrote the previous line's value to R12
    EXPECT_STREQ(why, skip::kNoValue);
    EXPECT_EQ(f.bank, 4); // a refused line changes nothing
    EXPECT_FALSE(ParseRegisterLine("", f));
    EXPECT_EQ(std::string(kTestFileSeparator), std::string(36, '=') + "\n");
}

TEST(RfFiles, LinesAreCutAt254Characters) {
    std::FILE* f = std::tmpfile();
    ASSERT_TRUE(f);
    const std::string longLine(300, '7');
    std::fputs(("1 2 3 4\n" + longLine + "\n\nlast").c_str(), f);
    std::rewind(f);
    std::string line;
    ASSERT_TRUE(ReadTextLine(f, line));
    EXPECT_EQ(line, "1 2 3 4");
    ASSERT_TRUE(ReadTextLine(f, line));
    EXPECT_EQ(line, std::string(254, '7'));
    ASSERT_TRUE(ReadTextLine(f, line));
    EXPECT_EQ(line, "");
    ASSERT_TRUE(ReadTextLine(f, line));
    EXPECT_EQ(line, "last");
    EXPECT_FALSE(ReadTextLine(f, line));
    std::fclose(f);
}
