#include "formats/runner_summary.h"
#include "formats/text_files.h"
#include "registers/core/mac_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace vq;
using Kind = MacRegisterLine::Kind;

TEST(MacFiles, RegionEntriesArePaddedNamesWithTheirOffsets) {
    EXPECT_EQ(MacRegionEntry(0), "PCI & DMA Registers      (offset:0x0000)");
    EXPECT_EQ(MacRegionEntry(5), "PACKET BUF               (offset:0x8000)");
    EXPECT_EQ(MacRegionEntry(6), "CIS                      (offset:0x7600)");
    EXPECT_EQ(MacRegionEntry(7), "");
    EXPECT_EQ(kMacRegions[4].length, 16384u);
}

TEST(MacFiles, RegisterFileLines) {
    MacRegisterLine r = ParseMacRegisterLine("bank 5\r\n");
    EXPECT_EQ(r.kind, Kind::Bank);
    EXPECT_EQ(r.first, 5u);
    r = ParseMacRegisterLine("BBPSET 66 0x20 ; gain");
    EXPECT_EQ(r.kind, Kind::BbpSet);
    EXPECT_EQ(r.first, 66u);
    EXPECT_EQ(r.second, 0x20u);
    r = ParseMacRegisterLine("0x1004,0x0000000C\t; enable TX and RX\n");
    EXPECT_EQ(r.kind, Kind::Write);
    EXPECT_EQ(r.first, 0x1004u);
    EXPECT_EQ(r.second, 0xCu);
    // The name starts after the one separator and keeps blanks and commas; a tab ends it.
    r = ParseMacRegisterLine("LoadFile my content, v2.bin\tignored\n");
    EXPECT_EQ(r.kind, Kind::LoadFile);
    EXPECT_EQ(r.fileName, "my content, v2.bin");
    r = ParseMacRegisterLine("SAVEFILE  lead.bin ; comment\n");
    EXPECT_EQ(r.kind, Kind::SaveFile);
    EXPECT_EQ(r.fileName, " lead.bin");
    for (const char* nothing : {"", "\n", "; comment only"}) {
        EXPECT_EQ(ParseMacRegisterLine(nothing).kind, Kind::None) << nothing;
        EXPECT_EQ(ParseMacRegisterLine(nothing).skip, nullptr) << nothing;
    }
    const std::pair<const char*, const char*> malformed[] = {
        {"1004\n", skip::kNoValue},    {"BANKS 5", skip::kUnknownWord},   {"LOADFILE", skip::kNoFileName},
        {"BBPSET 66", skip::kNoValue}, {"BBPSET x 5", skip::kNoRegister}, {"BANK", skip::kNoRegion},
        {"BANK 7", skip::kNoRegion},   {"12g 5", skip::kUnknownWord},
    };
    for (const auto& [line, why] : malformed) {
        EXPECT_EQ(ParseMacRegisterLine(line).kind, Kind::None) << line;
        EXPECT_STREQ(ParseMacRegisterLine(line).skip, why) << line;
    }
}

TEST(MacFiles, ScriptLinesNeedALeadingOperationNumber) {
    MacScriptLine s = ParseMacScriptLine("1 0x1004 0xC\n");
    EXPECT_TRUE(s.valid);
    EXPECT_EQ(s.operation, 1);
    EXPECT_EQ(s.address, 0x1004u);
    EXPECT_EQ(s.value, 0xCu);
    s = ParseMacScriptLine("0 1000");
    EXPECT_TRUE(s.valid);
    EXPECT_EQ(s.operation, 0);
    EXPECT_EQ(s.address, 0x1000u);
    // Garbage never reaches the device: "a quick fox" once read 0xA and then 0xF.
    const std::pair<const char*, const char*> refused[] = {
        {"A0 5", skip::kNotANumber}, {"a quick fox", skip::kNotANumber}, {"1x 1004 5", skip::kNotANumber},
        {"1 1004", skip::kNoValue},  {"0 zz", skip::kNoAddress},         {"1", skip::kNoAddress},
    };
    for (const auto& [line, why] : refused) {
        s = ParseMacScriptLine(line);
        EXPECT_FALSE(s.valid) << line;
        EXPECT_STREQ(s.skip, why) << line;
    }
    EXPECT_EQ(MacScriptWriteLog(0x1004, 0xC), "W:\tMAC 0x1004\t= 0x0000000C\n");
    EXPECT_EQ(MacScriptReadLog(0x1000, 0x94470101), "R:\tMAC 0x1000\t= 0x94470101\n");
}

TEST(MacFiles, FieldsExtensionsAndLongLines) {
    EXPECT_EQ(ParseMacHexField("1Fg0"), 0x1Fu);
    EXPECT_EQ(ParseMacHexField(""), 0u);
    EXPECT_EQ(ParseMacHexField("0x10"), 0u);
    EXPECT_EQ(WithExtensionIfNone("/tmp/a.b/dump", ".bin"), "/tmp/a.b/dump.bin");
    EXPECT_EQ(WithExtensionIfNone("/tmp/x.dat", ".bin"), "/tmp/x.dat");
    EXPECT_EQ(WithTxtIfMissing("/tmp/dump"), "/tmp/dump.txt");
    EXPECT_EQ(WithTxtIfMissing("/tmp/dump.txt.old"), "/tmp/dump.txt.old");
    EXPECT_EQ(MacResolveBesideFile("/data/regs/set.mac", "my file.bin"), "/data/regs/my file.bin");
    EXPECT_EQ(MacResolveBesideFile("/data/regs/set.mac", "/abs.bin"), "/abs.bin");
}
