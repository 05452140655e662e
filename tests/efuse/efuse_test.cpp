#include "agent/efuse.h"
#include "device/efuse.h"
#include "tests/support/board_fixture.h"

using namespace vq;
using vq::agent::EfuseDevice;

namespace {

class EfuseTest : public vq::test::BoardTest {
  protected:
    void SetUp() override {
        BoardTest::SetUp();
        UseEfuseGeometry();
        fuse = board->Device<EfuseDevice>();
        ASSERT_NE(fuse, nullptr);
    }
    std::uint16_t Read(std::uint16_t offset) {
        std::uint16_t w = 0x5A5A;
        dev.EepromRead(offset, w);
        return w;
    }
    std::size_t CountMac(std::uint16_t id, std::uint32_t address) const {
        std::size_t n = 0;
        for (const auto& e : board->Log())
            if (e.commandId == id && e.payload.size() >= 4 && GetBe32(e.payload.data()) == address) ++n;
        return n;
    }
    EfuseDevice* fuse = nullptr;
    CDeviceCommands dev;
};

} // namespace

TEST(EfuseMapByte, LogicalNumberWithTwoParityBits) {
    EXPECT_EQ(EfuseMapByte(0), 0xC0); // no ones: both groups even
    EXPECT_EQ(EfuseMapByte(1), 0x81); // bits 0..3 odd, bits 2..5 even
    EXPECT_EQ(EfuseMapByte(2), 0x82);
    EXPECT_EQ(EfuseMapByte(3), 0xC3);  // bits 0..3 hold two ones
    EXPECT_EQ(EfuseMapByte(4), 0x04);  // bit 2 is in both groups
    EXPECT_EQ(EfuseMapByte(31), 0x5F); // bits 0..3 four ones, bits 2..5 three
}

TEST(EfuseFreeCount, AfterWordByteAndContentWrites) {
    EXPECT_EQ(EfuseFreeAfterWordWrite(60, false, 0xFFFF, 0xFFFF), 59); // unmapped always costs
    EXPECT_EQ(EfuseFreeAfterWordWrite(59, true, 0x0001, 0x0000), 58);  // a bit cannot be cleared
    EXPECT_EQ(EfuseFreeAfterWordWrite(59, true, 0x0001, 0x0003), 59);
    EXPECT_EQ(EfuseFreeAfterWordWrite(0, false, 0xFFFF, 0x1234), -1); // overflow
    EXPECT_EQ(EfuseFreeAfterWordWrite(0, false, 0xFFFF, 0x1234) & 0x8000, 0x8000);
    // A byte write compares only that byte.
    EXPECT_EQ(EfuseFreeAfterByteWrite(10, true, 0x01, 0x03), 10);
    EXPECT_EQ(EfuseFreeAfterByteWrite(10, true, 0x01, 0x00), 9);
    EXPECT_EQ(EfuseFreeAfterByteWrite(10, false, 0xFF, 0xFF), 9);

    std::uint16_t snapshot[256], content[256];
    std::fill(snapshot, snapshot + 256, 0xFFFF);
    std::fill(content, content + 256, 0xFFFF);
    EXPECT_EQ(EfuseFreeAfterContentWrite(60, snapshot, content), 60);
    content[0] = 0x1234;   // block 0
    content[7] = 0x0000;   // block 0 again
    content[255] = 0xFFFE; // block 31
    snapshot[16] = 0x0001; // block 2: mapped, 1 -> 3 costs nothing
    content[16] = 0x0003;
    EXPECT_EQ(EfuseFreeAfterContentWrite(60, snapshot, content), 58);
    EXPECT_EQ(EfuseFreeAfterContentWrite(1, snapshot, content), -1);
}

TEST_F(EfuseTest, EmptyEfuseReadsBlankAndHasAllBlocksFree) {
    State().eepromSource = EepromSourceKind::Efuse;
    for (int a = 0; a < 512; a += 2)
        ASSERT_EQ(Read(std::uint16_t(a)), 0xFFFF) << a;
    EXPECT_EQ(EfuseFreeBlocks(dev), 60);
    std::uint8_t bytes[5];
    EfuseLogicalRead(dev, 3, bytes, 5);
    for (auto b : bytes)
        EXPECT_EQ(b, 0xFF);
    EXPECT_TRUE(prompter.Messages().empty());
}

TEST_F(EfuseTest, ControllerDataRegistersCarryTheBlockBytesInOrder) {
    for (int i = 0; i < 16; ++i)
        fuse->fuse[0x120 + i] = std::uint8_t(0xA0 + i);
    std::uint8_t bytes[16] = {};
    EfusePhysicalRead(dev, 0x120, bytes, 16);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(bytes[i], 0xA0 + i);
    std::uint32_t group = 0;
    EfuseReadGroup(dev, false, 0x124, 4, group);
    EXPECT_EQ(group, 0xA7A6A5A4u);
    EXPECT_EQ(board->RawMac(0), 0u); // the controller registers are not plain storage
    // A physical word write programs only the 1 bits of that word.
    EfusePhysicalWriteWord(dev, 0x12A, 0x0F0F);
    EXPECT_EQ(fuse->fuse[0x12A], 0xAA | 0x0F);
    EXPECT_EQ(fuse->fuse[0x12B], 0xAB | 0x0F);
    EXPECT_EQ(fuse->fuse[0x129], 0xA9);
    EXPECT_EQ(fuse->fuse[0x12C], 0xAC);
}

TEST_F(EfuseTest, FirstWordWriteTakesTheHighestMapByteAndZeroesTheBlock) {
    State().eepromSource = EepromSourceKind::Efuse;
    State().suppressEfuseQuestion = true;
    EXPECT_EQ(dev.EepromWrite(0x24, 0x1234), 0);
    EXPECT_EQ(fuse->fuse[1019], EfuseMapByte(2));
    EXPECT_EQ(fuse->fuse[1019], 0x82);
    EXPECT_EQ(fuse->fuse[1018], 0);
    EXPECT_EQ(fuse->Lookup(2), 59);
    for (int a = 0x20; a < 0x30; a += 2)
        EXPECT_EQ(Read(std::uint16_t(a)), a == 0x24 ? 0x1234 : 0x0000) << a;
    EXPECT_EQ(Read(0x30), 0xFFFF);
    EXPECT_EQ(EfuseFreeBlocks(dev), 59);
    // The next block goes below it.
    EXPECT_EQ(EfuseLogicalWriteWord(dev, 0x1F0, 0xBEEF), 0);
    EXPECT_EQ(fuse->fuse[1018], EfuseMapByte(31));
    EXPECT_EQ(Read(0x1F0), 0xBEEF);
    EXPECT_EQ(EfuseFreeBlocks(dev), 58);
    EXPECT_TRUE(prompter.Messages().empty());
}

TEST_F(EfuseTest, ClearingABitCostsABlockSettingOneDoesNot) {
    EXPECT_EQ(EfuseLogicalWriteWord(dev, 0x00, 0x0001), 0);
    EXPECT_EQ(EfuseFreeBlocks(dev), 59);
    EXPECT_EQ(EfuseFreeBlocksAfterWordWrite(dev, 0x00, 0x0003), 59);
    EXPECT_EQ(EfuseLogicalWriteWord(dev, 0x00, 0x0003), 0);
    EXPECT_EQ(EfuseFreeBlocks(dev), 59);
    EXPECT_EQ(fuse->Lookup(0), 59);

    EXPECT_EQ(EfuseFreeBlocksAfterWordWrite(dev, 0x00, 0x0000), 58);
    EXPECT_EQ(EfuseFreeBlocksAfterByteWrite(dev, 0x01, 0x00), 59); // the high byte is already 0
    EXPECT_EQ(EfuseLogicalWriteWord(dev, 0x00, 0x0000), 0);
    EXPECT_EQ(EfuseFreeBlocks(dev), 58);
    EXPECT_EQ(fuse->Lookup(0), 58);
    std::uint16_t w = 0x5A5A;
    EfuseLogicalReadWord(dev, 0, w);
    EXPECT_EQ(w, 0x0000);
    // The old map byte is spoilt by its lowest clear bit (high byte: bits 8..14).
    EXPECT_EQ(fuse->fuse[1019], EfuseMapByte(0) | 0x01);
}

TEST_F(EfuseTest, FailingBlockIsMarkedBadAndTheDataMovesOn) {
    fuse->failingBlocks = {59};
    std::uint16_t words[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(EfuseLogicalWriteBlock(dev, 0x40, words), 0);
    EXPECT_EQ(fuse->Lookup(4), 58);
    EXPECT_EQ(fuse->fuse[1018], EfuseMapByte(4));
    EXPECT_EQ(fuse->fuse[1019], EfuseMapByte(4) | 0x01); // 0x04 -> 0x05: parity broken
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(fuse->LogicalWord(0x40 + 2 * i), words[i]);
    EXPECT_EQ(EfuseFreeBlocks(dev), 58);

    // A single word relocated after a failure carries the whole merged block.
    fuse->failingBlocks = {57};
    EXPECT_EQ(EfuseLogicalWriteWord(dev, 0x42, 0x8000), 0); // bit 15 over 0x0002: clears bit 1
    EXPECT_EQ(fuse->Lookup(4), 56);
    EXPECT_EQ(fuse->LogicalWord(0x40), 1);
    EXPECT_EQ(fuse->LogicalWord(0x42), 0x8000);
    EXPECT_EQ(fuse->LogicalWord(0x4E), 8);
}

TEST_F(EfuseTest, AtMostFivePassesThenSuccessInAnyCase) {
    fuse->failingBlocks = {55, 56, 57, 58, 59};
    EXPECT_EQ(EfuseLogicalWriteWord(dev, 0x10, 0x1111), 0);
    // Four relocations: 1019..1016 spoilt, 1015 maps the block that never took.
    for (int a = 1016; a <= 1019; ++a)
        EXPECT_NE(fuse->fuse[a], EfuseMapByte(1)) << a;
    EXPECT_EQ(fuse->fuse[1015], EfuseMapByte(1));
    EXPECT_EQ(fuse->fuse[1014], 0);
    EXPECT_EQ(fuse->Lookup(1), 55);
    EXPECT_EQ(EfuseFreeBlocks(dev), 55);
}

TEST_F(EfuseTest, NoFreeBlockFailsWithoutWritingOrMessage) {
    for (int a = 960; a <= 1019; ++a)
        fuse->fuse[a] = 0xFF; // all spoilt
    EXPECT_EQ(EfuseFreeBlocks(dev), 0);
    EXPECT_EQ(EfuseFreeBlocksAfterWordWrite(dev, 0, 0x1234), -1);
    fuse->physicalWrites = 0;
    EXPECT_EQ(EfuseLogicalWriteWord(dev, 0x00, 0x1234), 1);
    EXPECT_EQ(fuse->physicalWrites, 0u);

    // Mapped block: setting bits still works in place, clearing one gives up.
    fuse->fuse[960] = EfuseMapByte(3); // block 0 maps logical block 3
    fuse->fuse[0x00] = 0x01;
    EXPECT_EQ(EfuseLogicalWriteWord(dev, 0x30, 0x0003), 0);
    EXPECT_EQ(fuse->LogicalWord(0x30), 0x0003);
    fuse->physicalWrites = 0;
    EXPECT_EQ(EfuseLogicalWriteWord(dev, 0x30, 0x0002), 1);
    EXPECT_EQ(fuse->physicalWrites, 0u);
    EXPECT_TRUE(prompter.Messages().empty());
    // Past the 512-byte content nothing is allocated.
    for (int a = 960; a <= 1019; ++a)
        fuse->fuse[a] = 0;
    EXPECT_EQ(EfuseLogicalWriteWord(dev, 0x200, 0x1234), 1);
    EXPECT_EQ(EfuseFreeBlocks(dev), 60);
}

TEST_F(EfuseTest, FreeCountScansFromBothEnds) {
    fuse->fuse[960] = 0xC0;
    fuse->fuse[961] = 0x81;
    fuse->fuse[1019] = 0x82;
    EXPECT_EQ(EfuseFreeBlocks(dev), 1018 - 962 + 1);
    EXPECT_EQ(EfuseFindFreeMapByte(dev), 1018);
    fuse->fuse[1018] = 0x04;
    EXPECT_EQ(EfuseFindFreeMapByte(dev), 1017);
    EXPECT_EQ(EfuseFreeBlocks(dev), 1017 - 962 + 1);
}

TEST_F(EfuseTest, BusyControllerIsPolledWithinTheLimits) {
    fuse->busyReads = 1000000; // never finishes
    std::uint32_t v = 0;
    EfuseReadGroup(dev, false, 0, 2, v);
    EXPECT_EQ(CountMac(cmd::MacRead, kEfuseControl), 1u + 100u); // set-up read + 100 polls
    EXPECT_EQ(pause.Pauses().size(), 100u);
    for (unsigned p : pause.Pauses())
        EXPECT_EQ(p, 2u);

    board->ClearLog();
    pause.Clear();
    EfusePhysicalWriteWord(dev, 0, 0x0001); // physical read (100) + write (500)
    EXPECT_EQ(CountMac(cmd::MacRead, kEfuseControl), 2u + 100u + 500u);
    EXPECT_EQ(pause.Total(), 2ull * 600);
    EXPECT_EQ(fuse->fuse[0], 0x01); // the last register values are used anyway

    fuse->busyReads = 1; // the usual case: one busy read, one pause
    board->ClearLog();
    pause.Clear();
    std::uint16_t w = 0;
    EfuseLogicalReadWord(dev, 0, w);
    EXPECT_EQ(CountMac(cmd::MacRead, kEfuseControl), 3u);
    EXPECT_EQ(pause.Pauses().size(), 1u);
}

TEST_F(EfuseTest, WholeContentWriteSkipsBlankBlocks) {
    std::uint16_t snapshot[256], content[256];
    std::fill(snapshot, snapshot + 256, 0xFFFF);
    std::fill(content, content + 256, 0xFFFF);
    content[0x3C / 2] = 0x1234;  // logical block 3
    content[0x1FE / 2] = 0x0055; // logical block 31
    EXPECT_EQ(EfuseFreeAfterContentWrite(60, snapshot, content), 58);
    EfuseWriteContent(dev, content, snapshot);
    EXPECT_EQ(EfuseFreeBlocks(dev), 58);
    EXPECT_EQ(fuse->Lookup(3), 59);
    EXPECT_EQ(fuse->Lookup(31), 58);
    EXPECT_EQ(fuse->Lookup(0), -1);
    EXPECT_EQ(fuse->LogicalWord(0x3C), 0x1234);
    EXPECT_EQ(fuse->LogicalWord(0x30), 0xFFFF); // written as a full block: blanks stay blank
    EXPECT_EQ(fuse->LogicalWord(0x1FE), 0x0055);
    // Writing the same content again costs nothing.
    std::uint16_t again[256];
    std::copy(content, content + 256, again);
    EfuseWriteContent(dev, again, content);
    EXPECT_EQ(EfuseFreeBlocks(dev), 58);
}

TEST_F(EfuseTest, EepromWriteRoutingAsksWithBothCounts) {
    State().eepromSource = EepromSourceKind::Efuse;
    prompter.Script({MsgResult::Cancel});
    EXPECT_NE(dev.EepromWrite(0x10, 0x1234), 0);
    ASSERT_EQ(prompter.Texts().size(), 1u);
    EXPECT_EQ(prompter.Last(), "Free block before write=60, after write=59, are you sure to write?");
    EXPECT_EQ(prompter.Messages()[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(fuse->Lookup(1), -1);
    EXPECT_EQ(dev.EepromWrite(0x10, 0x1234), 0); // answered OK
    EXPECT_EQ(Read(0x10), 0x1234);
    EXPECT_EQ(prompter.Last(), "Free block before write=60, after write=59, are you sure to write?");
    EXPECT_EQ(dev.EepromWrite(0x12, 0x0001), 0);
    EXPECT_EQ(prompter.Last(), "Free block before write=59, after write=59, are you sure to write?");
    // No EEPROM command ever goes out in eFuse mode.
    for (const auto& e : board->Log()) {
        EXPECT_NE(e.commandId, cmd::EepromWrite);
        EXPECT_NE(e.commandId, cmd::EepromRead);
    }
}
