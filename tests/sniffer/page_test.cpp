#include "agent/sniffer_source.h"
#include "controls/hex_edit.h"
#include "link/commands.h"
#include "measure/sniffer/core/packet_files.h"
#include "measure/sniffer/sniffer_page.h"
#include "tests/sniffer/record_builder.h"
#include "tests/support/gui_board_fixture.h"
#include "tests/support/script_transport.h"
#include "tests/support/test_sheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

using namespace vq;
using namespace vq::sniffer;
using vq::test::RecordBuilder;

namespace {

// The TX/RX page as the sniffer reaches it: channel selections tune the
// simulated board's synthesizer.
struct TxRxStandIn : vq::test::NoTxRxPage {
    std::shared_ptr<agent::BoardModel> board;
    std::vector<int> selected, shared;
    bool HasWindow() const { return true; }
    void SelectChannel(int index) {
        selected.push_back(index);
        State().channelIndex = index;
        agent::SnifferSource::Tune(*board, index + 1);
    }
    void SetChannelListIndex(int index) { shared.push_back(index); }
};

class SnifferPageTest : public vq::test::GuiBoardTest, public vq::test::ScratchFiles {
  protected:
    SnifferPageTest() : ScratchFiles("vq_sniffer_page_") {}
    void SetUp() override {
        GuiBoardTest::SetUp();
        txrx.board = board;
        sheet.txrx = &txrx;
        agent::SnifferSource::Tune(*board, 6);
        source = agent::FindSnifferSource(*board);
        board->SetClock([this] { return clockUs; });
        page = std::make_unique<CSnifferPage>();
        page->Activate();
        board->ClearLog();
    }
    void TearDown() override {
        page.reset();
        GuiBoardTest::TearDown();
    }
    QPushButton* Button(const char* text) const {
        for (QPushButton* b : page->findChildren<QPushButton*>())
            if (b->text() == QString::fromLatin1(text)) return b;
        return nullptr;
    }
    // MAC writes of the board's log since it was cleared: (address, value).
    std::vector<std::pair<std::uint32_t, std::uint32_t>> MacWrites() const {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> out;
        for (const auto& e : Exchanges(cmd::MacWrite)) {
            auto be = [&](int at) {
                return (std::uint32_t(e.payload[at]) << 24) | (std::uint32_t(e.payload[at + 1]) << 16) |
                       (std::uint32_t(e.payload[at + 2]) << 8) | e.payload[at + 3];
            };
            out.emplace_back(be(0), be(4));
        }
        return out;
    }
    void Tick(std::uint64_t ms = 100) {
        clockUs += ms * 1000;
        page->OnTimer(kTimerPoll);
    }
    QString Cell(int row, int column) const {
        return page->ListModel()->data(page->ListModel()->index(row, column), Qt::DisplayRole).toString();
    }

    std::uint64_t clockUs = 5000000;
    TxRxStandIn txrx;
    vq::test::TestSheet<TxRxStandIn> sheet;
    agent::SnifferSource* source = nullptr;
    std::unique_ptr<CSnifferPage> page;
};

TEST_F(SnifferPageTest, ControlsColumnsAndActivation) {
    EXPECT_EQ(page->Caption(), QStringLiteral("Sniffer"));
    for (const char* b : {"Start &Capture", "Save File...", "Load File...", "Save Packet..."})
        EXPECT_NE(Button(b), nullptr) << b;
    for (const char* c : {"SW CRC Error", "CRC Error", "Beacon", "11b", "OFDM", "Others", "PHY Error"})
        EXPECT_TRUE(page->Check(QString::fromLatin1(c))->isChecked()) << c;
    for (const char* c : {"Wrap Around", "Sw CRC Check", "Timestamp", "Hide Sniffer Data"})
        EXPECT_FALSE(page->Check(QString::fromLatin1(c))->isChecked()) << c;
    EXPECT_TRUE(page->Check(QStringLiteral("PHY Error"))->isHidden());
    EXPECT_EQ(page->MacEdit()->maxLength(), 12);
    EXPECT_EQ(page->WaitEdit()->text(), QStringLiteral("140"));
    EXPECT_EQ(page->FromList()->count(), 14);
    EXPECT_EQ(page->FromList()->currentIndex(), 0);
    EXPECT_EQ(page->ToList()->currentIndex(), 13);
    EXPECT_EQ(page->SwCrcCount()->text(), QStringLiteral("0"));
    EXPECT_EQ(page->TotalCount()->text(), QStringLiteral("0"));
    const char* headings[] = {"No.", "Address1", "Address2", "Address3", "Protocol", "Duration", "Size",
                              "S/N", "Flag", "SSID", "Ch", "Rate", "SNR 0", "SNR 1", "QoS TID",
                              "Time(us)", "DeltaT(us)", "Packet Crc Value", "Calc Crc Value"};
    const int widths[] = {45, 100, 100, 100, 60, 40, 40, 40, 40, 60, 60, 50, 50, 50, 60, 70, 70, 100, 90};
    ASSERT_EQ(page->ListModel()->columnCount(), 19);
    for (int c = 0; c < 19; ++c) {
        EXPECT_EQ(page->ListModel()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(),
                  QString::fromLatin1(headings[c]));
        EXPECT_EQ(page->List()->columnWidth(c), widths[c]) << headings[c];
    }

    // Leaving writes 0x1400 := 3, entering shares the channel and writes 0.
    State().channelIndex = 4;
    EXPECT_TRUE(page->OnKillActive());
    page->Activate();
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> want = {{0x1400, 3}, {0x1400, 0}};
    EXPECT_EQ(MacWrites(), want);
    EXPECT_EQ(txrx.shared.back(), 4);

    // Channel order messages.
    page->FromList()->setCurrentIndex(13);
    page->ToList()->setCurrentIndex(5);
    page->OnToChanged(5);
    EXPECT_EQ(prompter.Last(), "ToCh must larger than ToCh ! Set to Final Ch");
    EXPECT_EQ(page->ToList()->currentIndex(), 13);
    page->ToList()->setCurrentIndex(2);
    page->OnFromChanged(13);
    EXPECT_EQ(prompter.Last(), "FromCh must smaller than ToCh ! Set to Init Ch");
    EXPECT_EQ(page->FromList()->currentIndex(), 0);
}

TEST_F(SnifferPageTest, CaptureAgainstTheSimulatedBoard) {
    board->SetRawMac(0x1004, 0x04);
    page->Check(QStringLiteral("Timestamp"))->setChecked(true);
    page->Check(QStringLiteral("Sw CRC Check"))->setChecked(true);
    page->StartButton()->click();
    EXPECT_EQ(page->StartButton()->text(), QStringLiteral("Stop &Capture"));
    EXPECT_TRUE(page->TimerActive(kTimerPoll));
    EXPECT_EQ(page->TimerPeriod(kTimerPoll), 100);
    EXPECT_TRUE(source->Delivering());
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> started = {{0x1004, 0x0C}, {0x1004, 0x8C}};
    EXPECT_EQ(MacWrites(), started);

    for (int i = 0; i < 10; ++i) Tick();
    const int rows = page->ListModel()->rowCount();
    EXPECT_GT(rows, 150); // 300 frames a second for one second, less the short ones
    EXPECT_EQ(page->TotalCount()->text(), QString::number(rows));
    EXPECT_EQ(page->Capture().Store().count, rows);
    bool beacon6 = false, sawHwCrc = false;
    for (int r = 0; r < rows; ++r) {
        if (Cell(r, kColProtocol) == QStringLiteral("Beacon") && Cell(r, kColFlag) != QStringLiteral("Hw CRC")) {
            EXPECT_EQ(Cell(r, kColChannel), QStringLiteral("6")) << "only the tuned channel";
            beacon6 = true;
        }
        sawHwCrc |= Cell(r, kColFlag) == QStringLiteral("Hw CRC");
    }
    EXPECT_TRUE(beacon6);
    EXPECT_TRUE(sawHwCrc);
    int mismatches = 0;
    for (int r = 0; r < rows; ++r) mismatches += Cell(r, kColPacketCrc) != Cell(r, kColCalcCrc);
    EXPECT_GT(page->Capture().swCrcErrors, 0) << mismatches;
    EXPECT_EQ(page->SwCrcCount()->text(), QString::number(page->Capture().swCrcErrors));
    EXPECT_EQ(Cell(0, kColTime), QStringLiteral("0"));

    // A MAC filter on one access point keeps only its frames.
    page->MacEdit()->setText(QStringLiteral("000C43288006"));
    Tick(1000);
    for (int r = rows; r < page->ListModel()->rowCount(); ++r) {
        const QString a = Cell(r, kColAddress1) + Cell(r, kColAddress2) + Cell(r, kColAddress3);
        EXPECT_TRUE(a.contains(QStringLiteral("00:0C:43:28:80:06"))) << a.toStdString();
    }

    board->ClearLog();
    page->StartButton()->click();
    EXPECT_EQ(page->StartButton()->text(), QStringLiteral("Start &Capture"));
    EXPECT_FALSE(page->TimerActive(kTimerPoll));
    EXPECT_FALSE(source->Delivering());
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> stopped = {{0x1004, 0x84}};
    EXPECT_EQ(MacWrites(), stopped); // the timestamp bit stays
}

TEST_F(SnifferPageTest, SweepFullStoreSaveLoadAndDataDialog) {
    // The sweep: channels 3 to 5 at the typed dwell, then the capture stops.
    page->SweepBox()->setChecked(true);
    page->FromList()->setCurrentIndex(2);
    page->ToList()->setCurrentIndex(4);
    page->WaitEdit()->setText(QStringLiteral("250"));
    page->StartButton()->click();
    EXPECT_EQ(page->TimerPeriod(kTimerSweep), 250);
    EXPECT_FALSE(page->FromList()->isEnabled());
    for (int i = 0; i < 3; ++i) page->OnTimer(kTimerSweep);
    EXPECT_EQ(txrx.selected, (std::vector<int>{2, 3, 4, 4}));
    EXPECT_EQ(page->StartButton()->text(), QStringLiteral("Start &Capture"));
    EXPECT_FALSE(page->TimerActive(kTimerSweep));
    EXPECT_TRUE(page->FromList()->isEnabled());
    page->SweepBox()->setChecked(false);

    // A full store without "Wrap Around" stops the capture.
    page->StartButton()->click();
    source->framesPerSecond = 50000;
    agent::SnifferSource::Tune(*board, 6);
    source->hwCrcShare = 0;
    for (int i = 0; i < 12 && page->Capture().capturing; ++i) Tick();
    EXPECT_FALSE(page->Capture().capturing);
    EXPECT_EQ(page->Capture().Store().count, kStoreRecords);
    EXPECT_EQ(page->ListModel()->rowCount(), kStoreRecords);

    // Save as .pac and .pcap, load both back.
    dialogs.answers = {QString::fromStdString(Path("capture")), QString::fromStdString(Path("capture.pcap"))};
    page->OnSaveFile();
    page->OnSaveFile();
    EXPECT_EQ(dialogs.calls[0].filter, QString::fromLatin1(kPacketFileFilter));
    EXPECT_EQ(ReadFile(Path("capture.pac")).size(), 4 + std::size_t(kStoreRecords) * kRecordBytes);
    const QString firstAddress = Cell(0, kColAddress2);
    for (const char* name : {"capture", "capture.pcap"}) {
        dialogs.answers = {QString::fromStdString(Path(name))};
        page->OnLoadFile();
        EXPECT_EQ(page->Capture().Store().count, kStoreRecords) << name;
        EXPECT_EQ(Cell(0, kColAddress2), firstAddress) << name;
    }
    dialogs.answers = {QString::fromStdString(Path("none.pac"))};
    page->OnLoadFile();
    EXPECT_EQ(prompter.Last(), "Packet File not opened!");

    // An oversized count: the store's records, and a message saying how many.
    std::string big("\x30\x75\x00\x00", 4);
    big += ReadFile(Path("capture.pac")).substr(4);
    WriteFile(Path("big.pac"), big);
    dialogs.answers = {QString::fromStdString(Path("big.pac"))};
    page->OnLoadFile();
    EXPECT_EQ(prompter.Last(),
              "The packet file counts 30000 records; the store holds 20000. 20000 records were loaded.");

    // Sniffer Data of a QoS data frame: the two bytes after the QoS field are left out.
    RecordBuilder qos = RecordBuilder::Data(200);
    qos.Fc(0x88).Mpdu(24, {0x11, 0x22, 0xEE, 0xEE, 0x33});
    for (int i = 0; i < 200; ++i) qos.r[40 + 29 + i] = std::uint8_t(i);
    std::string file("\x01\x00\x00\x00", 4);
    file.append(reinterpret_cast<const char*>(qos.data()), kRecordBytes);
    WriteFile(Path("one.pac"), file);
    dialogs.answers = {QString::fromStdString(Path("one.pac"))};
    page->OnLoadFile();
    ASSERT_EQ(page->ListModel()->rowCount(), 1);
    int shown = 0;
    page->runDialog = [&](QDialog& d) {
        auto& dialog = static_cast<CSnifferDataDialog&>(d);
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Sniffer Data"));
        EXPECT_EQ(dialog.View(0)->Length(), 40);
        EXPECT_EQ(dialog.View(1)->Length(), 1558);
        EXPECT_EQ(dialog.View(1)->Data()[26], 0x33);
        EXPECT_EQ(dialog.View(2)->Length(), 64);
        EXPECT_EQ(dialog.View(2)->Data()[0], 0x33); // from frame byte 26
        EXPECT_EQ(dialog.View(3)->Length(), 48);
        EXPECT_EQ(dialog.View(3)->Data()[0], dialog.View(1)->Data()[90]);
        for (const char* caption : {"Descriptor and Wireless Information", "Buffer", "Debug Info - TxD (QoS)",
                                    "Debug Info - ScatterControl (QoS)"}) {
            bool found = false;
            for (QLabel* l : dialog.findChildren<QLabel*>()) found |= l->text() == QString::fromLatin1(caption);
            EXPECT_TRUE(found) << caption;
        }
        ++shown;
    };
    page->OnRowDoubleClicked(0);
    EXPECT_EQ(shown, 1);
}

TEST(SnifferLink, EthernetLinkExchangesNothing) {
    ResetLink();
    auto* transport = new vq::test::ScriptTransport;
    Link().Attach(std::unique_ptr<ITransport>(transport));
    CDeviceCommands dev;
    dev.SnifferStartStop(cmd::SnifferStart);
    std::vector<std::uint8_t> buffer(kReceiveBufferBytes, 0xAA);
    std::size_t bytes = 99;
    EXPECT_NE(dev.ReadSnifferFrames(buffer.data(), buffer.size(), bytes), 0);
    EXPECT_EQ(bytes, 0u);
    dev.SnifferStartStop(cmd::SnifferStop);
    EXPECT_TRUE(transport->sent.empty());
    ResetLink();
}

} // namespace
