#include "registers/core/synth_table.h"
#include "registers/rf/rf_page.h"
#include "registers/rf/rf_widgets.h"
#include "rf_test_support.h"
#include "tests/support/test_sheet.h"
#include "ui/sheet_services.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <cstdlib>

using namespace vq;

namespace {

// A TX/RX page with its window, recording the channel services.
class FakeTxRxPage : public vq::test::NoTxRxPage {
  public:
    bool HasWindow() const { return true; }
    void SelectChannel(int index) { selected.push_back(index); }
    void SetChannelListIndex(int index) { listIndex.push_back(index); }
    std::vector<int> selected, listIndex;
};

class RfPageTest : public vq::test::RfBoardTest {
  protected:
    template <class T> static T* Ctl(QWidget& page, int id) {
        T* w = page.findChild<T*>(QString::number(id));
        EXPECT_NE(w, nullptr) << id;
        return w;
    }
    static QString Text(QWidget& page, int id) { return Ctl<QLineEdit>(page, id)->text(); }
    static QString Hex(std::uint8_t v) { return QString::asprintf("%02X", v); }
    // The MAC register writes of the exchanges since the log was cleared.
    std::vector<std::uint32_t> MacWrites(std::uint32_t address) const {
        std::vector<std::uint32_t> values;
        for (const auto& e : board->Log())
            if (e.commandId == cmd::MacWrite && GetBe32(e.payload.data()) == address)
                values.push_back(GetBe32(e.payload.data() + 4));
        return values;
    }
};

} // namespace

TEST_F(RfPageTest, BitSevenOfR0IsReadModifiedWrittenThenTheBankReread) {
    board->Rf(0, 0) = 0x01;
    CRFPage page;
    page.Activate();
    QPushButton* bit7 = Ctl<QPushButton>(page, 1667);
    ASSERT_EQ(page.Grid()->BitButton(0, 7), bit7);
    EXPECT_EQ(bit7->text(), "0");
    EXPECT_EQ(Ctl<QPushButton>(page, 1660)->text(), "1");
    EXPECT_EQ(Text(page, 1366), "01");

    board->ClearLog();
    bit7->click();
    // RF read: poll, start, poll; RF write: poll, start; then one bulk read.
    EXPECT_EQ(CommandIds(), (std::vector<std::uint16_t>{cmd::MacRead, cmd::MacWrite, cmd::MacRead,
                                                        cmd::MacRead, cmd::MacWrite, cmd::RfReadBulk}));
    EXPECT_EQ(MacWrites(kRfControlRegister), (std::vector<std::uint32_t>{0x00000001, 0x00008111}));
    const auto bulk = board->Log().back().payload;
    EXPECT_EQ(bulk, (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 64}));
    EXPECT_EQ(board->Rf(0, 0), 0x81);
    EXPECT_EQ(bit7->text(), "1");
    EXPECT_EQ(Text(page, 1366), "81");

    bit7->click();
    EXPECT_EQ(board->Rf(0, 0), 0x01);
    EXPECT_EQ(bit7->text(), "0");
    // The last bit of the page: R31 bit 7 in the current bank.
    State().rfBank = 3;
    Ctl<QPushButton>(page, 1915)->click();
    EXPECT_EQ(board->Rf(3, 31), 0x80);
    EXPECT_TRUE(prompter.Messages().empty());
}

TEST_F(RfPageTest, BankChosenOnPageOneIsShownOnPageTwo) {
    for (unsigned r = 0; r < 64; ++r)
        board->Rf(4, r) = std::uint8_t(0xA0 + r);
    CRFPage page1;
    CRFPage2 page2;
    page1.Activate();
    QComboBox* bank1 = Ctl<QComboBox>(page1, 1267);
    ASSERT_EQ(bank1->count(), 16);
    EXPECT_EQ(bank1->itemText(4), "  Bank 4: RF  Antenna_0");
    bank1->setCurrentIndex(4);
    emit bank1->activated(4);
    EXPECT_EQ(State().rfBank, 4);
    EXPECT_EQ(Text(page1, 1366 + 31), Hex(0xA0 + 31));

    page2.Activate();
    EXPECT_EQ(Ctl<QComboBox>(page2, 1390)->currentIndex(), 4);
    for (int r = 32; r < 64; ++r)
        EXPECT_EQ(Text(page2, 1247 + r - 32), Hex(std::uint8_t(0xA0 + r))) << r;
    EXPECT_EQ(Ctl<QPushButton>(page2, 1404 + 8 * (40 - 32) + 3)->text(), ((0xA0 + 40) & 8) ? "1" : "0");

    // Page 2's bits and single access reach bank 4 and the register as typed.
    Ctl<QPushButton>(page2, 1404)->click(); // R32 bit 0
    EXPECT_EQ(board->Rf(4, 32), std::uint8_t((0xA0 + 32) ^ 1));
    Ctl<QLineEdit>(page2, 2004)->setText("40");
    Ctl<QPushButton>(page2, 1916)->click();
    EXPECT_EQ(Text(page2, 2018), Hex(0xA0 + 40));
    Ctl<QRadioButton>(page2, 1922)->click();
    EXPECT_FALSE(Ctl<QLineEdit>(page2, 2018)->isReadOnly());
    Ctl<QLineEdit>(page2, 2018)->setText("5e");
    Ctl<QPushButton>(page2, 1916)->click();
    EXPECT_EQ(board->Rf(4, 40), 0x5E);
    EXPECT_EQ(Text(page2, 1247 + 8), "5E");

    // Back on page 2's bank list: page 1 follows on activation.
    emit Ctl<QComboBox>(page2, 1390)->activated(6);
    page1.Activate();
    EXPECT_EQ(bank1->currentIndex(), 6);
}

TEST_F(RfPageTest, TxPowerSpinsStayWithinTheirRangeAndKeepTheOtherPath) {
    State().antennaConfig = 0x22;
    board->SetRawMac(0x13B0, 0xC0002A15);
    CRFPage page;
    page.Activate();
    QLineEdit* p0 = Ctl<QLineEdit>(page, 1257);
    auto* spin0 = Ctl<rf::SpinArrows>(page, 1295);

    p0->setText("2F");
    board->ClearLog();
    spin0->Click(+1);
    EXPECT_EQ(p0->text(), "2F");
    p0->setText("00");
    spin0->Click(-1);
    EXPECT_EQ(p0->text(), "00");
    EXPECT_EQ(board->LogSize(), 0u);

    p0->setText("10");
    Ctl<QComboBox>(page, 1172)->setCurrentIndex(5);
    spin0->Click(+1);
    EXPECT_EQ(p0->text(), "11");
    EXPECT_EQ(State().txPower0, 0x11);
    EXPECT_EQ(State().channelIndex, 5);
    EXPECT_EQ(board->RawMac(0x13B0), 0xC0002A11u);
    EXPECT_EQ(board->Log().back().commandId, cmd::RfReadBulk);

    QLineEdit* p1 = Ctl<QLineEdit>(page, 1280);
    EXPECT_TRUE(p1->isEnabled());
    p1->setText("2e");
    Ctl<rf::SpinArrows>(page, 1270)->Click(+1);
    EXPECT_EQ(p1->text(), "2F");
    EXPECT_EQ(State().txPower1, 0x2F);
    EXPECT_EQ(board->RawMac(0x13B0), 0xC0002F11u);
}

TEST_F(RfPageTest, FreqOffsetSpinStepsBankZeroR12ButNeverFromFF) {
    board->Rf(0, 12) = 0x40;
    CRFPage page;
    page.Activate();
    QLineEdit* fo = Ctl<QLineEdit>(page, 1294);
    EXPECT_EQ(fo->text(), "00"); // shared value shown on activation
    auto* spin = Ctl<rf::SpinArrows>(page, 1273);
    fo->setText("FF");
    board->ClearLog();
    spin->Click(+1);
    spin->Click(-1);
    EXPECT_EQ(board->LogSize(), 0u);
    EXPECT_EQ(fo->text(), "FF");

    State().rfBank = 5;
    fo->setText("10");
    spin->Click(+1); // left arrow
    EXPECT_EQ(board->Rf(0, 12), 0x11);
    EXPECT_EQ(State().freqOffset, 0x11);
    EXPECT_EQ(fo->text(), "11");
    spin->Click(-1);
    spin->Click(-1);
    EXPECT_EQ(board->Rf(0, 12), 0x0F);
    fo->setText("00");
    spin->Click(-1);
    EXPECT_EQ(board->Rf(0, 12), 0x0F);
}

TEST_F(RfPageTest, ChipInfoOfOneTxOneRxDisablesTxPowerOne) {
    State().antennaConfig = 0x11;
    State().txPower0 = 0x1A;
    State().txPower1 = 0x1B;
    State().freqOffset = 0x33;
    CRFPage page;
    page.Activate();
    EXPECT_EQ(Ctl<QLabel>(page, 1278)->text(), "VQ9447 :: 1 T 1 R");
    EXPECT_FALSE(Ctl<QLineEdit>(page, 1280)->isEnabled());
    EXPECT_FALSE(Ctl<rf::SpinArrows>(page, 1270)->isEnabled());
    EXPECT_EQ(Text(page, 1257), "1A");
    EXPECT_EQ(Text(page, 1280), "0");
    EXPECT_EQ(Text(page, 1294), "33");
    page.ShowSharedValues(0x05, 0x06, 0x07);
    EXPECT_EQ(Text(page, 1257), "05");
    EXPECT_EQ(Text(page, 1280), "0");

    State().antennaConfig = 0x22;
    CRFPage other;
    other.Activate();
    EXPECT_EQ(Ctl<QLabel>(other, 1278)->text(), "VQ9447 :: 2 T 2 R");
    EXPECT_TRUE(Ctl<QLineEdit>(other, 1280)->isEnabled());
    EXPECT_EQ(Text(other, 1280), "1B");
}

TEST_F(RfPageTest, ChannelSelectionShowsSynthesizerValuesAndReachesTheTxRxPage) {
    FakeTxRxPage txrx;
    State().txPower0 = 0x21;
    CRFPage page;
    vq::test::TestSheet<FakeTxRxPage, CRFPage> sheet;
    sheet.txrx = &txrx;
    sheet.rf = &page;
    page.Activate();
    EXPECT_EQ(Text(page, 1171), "3.21600");
    EXPECT_EQ(Text(page, 1175), "80");
    EXPECT_EQ(Text(page, 1259), "0x19999");
    QComboBox* channel = Ctl<QComboBox>(page, 1172);
    ASSERT_EQ(channel->count(), 14);
    EXPECT_EQ(channel->itemText(13), "  14  2484-MHz");
    txrx.listIndex.clear();
    Ctl<QLineEdit>(page, 1257)->setText("3");
    emit channel->activated(13);
    EXPECT_EQ(State().channelIndex, 13);
    EXPECT_EQ(Text(page, 1171), "3312.000");
    EXPECT_DOUBLE_EQ(page.VcoValue(), SynthEntry(13)->vco);
    EXPECT_EQ(Text(page, 1175), "82");
    EXPECT_EQ(Text(page, 1180), "0");
    EXPECT_EQ(Text(page, 1258), "8");
    EXPECT_EQ(Text(page, 1259), "0x33333");
    EXPECT_EQ(Text(page, 1257), "21");
    EXPECT_EQ(txrx.selected, std::vector<int>{13});
    EXPECT_EQ(txrx.listIndex, std::vector<int>{13});

    // The VCO edit's text becomes the VCO value when it loses the focus.
    Ctl<QLineEdit>(page, 1171)->setText("3300.5");
    page.OnVcoKillFocus();
    EXPECT_DOUBLE_EQ(page.VcoValue(), 3300.5);

    // The sheet puts the list on another channel without running the selection.
    page.SetChannelListIndex(2);
    EXPECT_EQ(channel->currentIndex(), 2);
    EXPECT_EQ(Text(page, 1175), "82");
}

TEST_F(RfPageTest, SingleAccessOnPageOne) {
    State().rfBank = 2;
    board->Rf(2, 6) = 0x6B;
    CRFPage page;
    page.Activate();
    EXPECT_TRUE(Ctl<QLineEdit>(page, 1401)->isReadOnly());
    Ctl<QLineEdit>(page, 1400)->setText("70"); // the device keeps the low six bits
    Ctl<QPushButton>(page, 1402)->click();
    EXPECT_EQ(Text(page, 1401), "6B");
    Ctl<QRadioButton>(page, 1399)->click();
    EXPECT_EQ(page.Mode(), 1);
    EXPECT_FALSE(Ctl<QLineEdit>(page, 1401)->isReadOnly());
    Ctl<QLineEdit>(page, 1400)->setText("3");
    Ctl<QLineEdit>(page, 1401)->setText("c4");
    Ctl<QPushButton>(page, 1402)->click();
    EXPECT_EQ(board->Rf(2, 3), 0xC4);
    EXPECT_EQ(Text(page, 1369), "C4");
    Ctl<QRadioButton>(page, 1398)->click();
    EXPECT_TRUE(Ctl<QLineEdit>(page, 1401)->isReadOnly());
}

TEST_F(RfPageTest, SaveChangeLoadThroughTheFileDialogs) {
    for (unsigned r = 0; r < 64; ++r) {
        board->Rf(0, r) = std::uint8_t(r);
        board->Rf(7, r) = std::uint8_t(0xFF - r);
    }
    CRFPage page;
    page.Activate();
    dialogs.answers = {dir.filePath("bench")};
    Ctl<QPushButton>(page, 1193)->click();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_TRUE(dialogs.calls[0].save);
    EXPECT_EQ(dialogs.calls[0].title, "Open Script File");
    EXPECT_EQ(dialogs.calls[0].directory, ProgramDirectory());
    EXPECT_EQ(dialogs.calls[0].filter, "rf Files(*.txt)|*.txt||");
    const std::string file = Path("bench.txt");
    EXPECT_EQ(Lines(file).size(), 320);
    EXPECT_EQ(page.StatusLine()->text(), "bench.txt: saved.");

    board->Rf(0, 9) = 0x99;
    board->Rf(7, 63) = 0x00;
    page.Refresh();
    EXPECT_EQ(Text(page, 1366 + 9), "99");
    dialogs.answers = {QString::fromStdString(file)};
    Ctl<QPushButton>(page, 1916)->click();
    EXPECT_FALSE(dialogs.calls.back().save);
    EXPECT_EQ(dialogs.calls.back().title, "Open Script File");
    EXPECT_EQ(board->Rf(0, 9), 0x09);
    EXPECT_EQ(board->Rf(7, 63), 0xC0);
    EXPECT_EQ(board->Rf(0, 4), 0x84); // VCO calibration started
    EXPECT_EQ(Text(page, 1366 + 9), "09");
    EXPECT_EQ(Text(page, 1366 + 4), "84");
    EXPECT_EQ(page.StatusLine()->text(), "bench.txt: 320 lines applied, 0 skipped.");

    // Saving over an existing file asks first; No keeps it.
    board->Rf(0, 0) = 0xEE;
    prompter.Script({MsgResult::No});
    dialogs.answers = {QString::fromStdString(file)};
    Ctl<QPushButton>(page, 1193)->click();
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_EQ(prompter.Messages()[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(Lines(file)[0], "0 000 00");

    // Cancel and unreadable files end quietly.
    board->ClearLog();
    dialogs.answers = {QString(), dir.filePath("missing.txt")};
    Ctl<QPushButton>(page, 1916)->click();
    Ctl<QPushButton>(page, 1916)->click();
    EXPECT_EQ(board->LogSize(), 0u);
    EXPECT_EQ(prompter.Messages().size(), 1u);
}

TEST_F(RfPageTest, ScriptRunLogsIntoTheListAndRefreshes) {
    board->Rf(4, 7) = 0x12;
    const std::string file = Path("run.txt");
    Write(file, "1 0 5 3F\n0 4 7\n1 zz\n\n");
    CRFPage page;
    page.Activate();
    QListWidget* list = Ctl<QListWidget>(page, 1468);
    list->addItem("stale");
    dialogs.answers = {QString::fromStdString(file)};
    Ctl<QPushButton>(page, 1483)->click();
    EXPECT_EQ(dialogs.calls[0].title, "Open RF Script File");
    EXPECT_EQ(dialogs.calls[0].filter, "RF script Files(*.txt)|*.txt||");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(0)->text(), "W:\tBank00, RF R5\t= 0x3F");
    EXPECT_EQ(list->item(1)->text(), "R:\tBank04, RF R7\t= 0x12");
    // "1 zz" does nothing; the run ends with its summary.
    EXPECT_EQ(list->item(2)->text(), "2 lines applied, 1 skipped (first: line 3, no bank number).");
    EXPECT_EQ(list->currentRow(), 2);
    EXPECT_EQ(board->Rf(4, 7), 0x12);
    EXPECT_EQ(Text(page, 1366 + 5), "3F");
}

TEST_F(RfPageTest, HiddenDumpForAteAndDisabledRegisterTest) {
    State().rfBank = 5;
    for (unsigned r = 0; r < 64; ++r)
        board->Rf(5, r) = std::uint8_t(3 * r);
    CRFPage page;
    page.Activate();
    QPushButton* dump = Ctl<QPushButton>(page, 1412);
    EXPECT_FALSE(dump->isVisibleTo(&page));
    dialogs.answers = {dir.filePath("ate")};
    dump->click();
    const QStringList lines = Lines(Path("ate.txt"));
    ASSERT_EQ(lines.size(), 64);
    EXPECT_EQ(lines[10], "5  010 = 1E");

    QPushButton* test = Ctl<QPushButton>(page, 1403);
    EXPECT_FALSE(test->isEnabled());
    test->click();
    EXPECT_EQ(dialogs.calls.size(), 1u);
    dialogs.answers = {dir.filePath("rw")};
    page.OnTestReadWrite();
    EXPECT_EQ(dialogs.calls.back().title, "Open Txt File");
    EXPECT_EQ(dialogs.calls.back().filter, "txt Files(*.txt)|*.txt||");
    const QStringList t = Lines(Path("rw.txt"));
    ASSERT_EQ(t.size(), 3 + 32 * 257);
    EXPECT_EQ(t.back(), QString(36, '='));
    EXPECT_EQ(t[3 + 31 * 257 + 0x7E], "R31\t7E\t7E");
}
