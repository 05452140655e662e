#include "base/format.h"
#include "measure/sniffer/core/packet_files.h"
#include "measure/sniffer/core/sniffer_capture.h"
#include "tests/sniffer/record_builder.h"
#include "tests/support/board_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace vq;
using namespace vq::sniffer;
using vq::test::RecordBuilder;

namespace {

std::string Text(const RecordBuilder& b, int column, const CaptureOptions& o = {}) {
    FrameStore& store = ProgramFrameStore();
    SnifferCapture capture(store);
    store.count = 0;
    capture.DecodeRow(b.data(), o);
    if (capture.Rows().empty()) return "<no row>";
    return ColumnText(b.data(), capture.Rows()[0], column);
}

TEST(SnifferTables, CrcRatesNamesAndSnr) {
    EXPECT_EQ(Crc32Msb(reinterpret_cast<const std::uint8_t*>("abc"), 3), 0x9B73448Cu);
    EXPECT_EQ(Crc32Msb(reinterpret_cast<const std::uint8_t*>("123456789"), 9), 0x0376E6E7u);

    struct Rate { unsigned phy, mcs; double mbps; };
    for (const Rate& c : {Rate{0, 9, 2.0}, Rate{0, 11, 11}, Rate{0, 5, 0}, Rate{0, 12, 0}, Rate{1, 7, 54},
                          Rate{1, 8, 0}, Rate{2, 20, 0.0}, Rate{3, 15, 130}, Rate{2, 32, 6}, Rate{3, 8, 13}})
        EXPECT_EQ(RateMbps(c.phy, c.mcs), c.mbps) << c.phy << "/" << c.mcs;

    struct Name { unsigned type, subtype; const char* text; };
    for (const Name& c : {Name{2, 10, "Qos-Data + CF-Poll"}, Name{0, 8, "Beacon"}, Name{0, 7, "Reserved"},
                          Name{1, 7, "Reserved"}, Name{1, 15, "CF-End + CF-ACK"}, Name{1, 8, "BAR"},
                          Name{3, 0, "Reserved"}, Name{2, 15, "Qos CF-Ack + CF-Poll"}, Name{0, 12, "DeAuthentication"}})
        EXPECT_STREQ(FrameTypeName(c.type, c.subtype), c.text) << c.type << "/" << c.subtype;

    // 235 and everything above it, where the formula goes negative, read 0.0 dB.
    struct Snr { int raw; const char* text; };
    for (const Snr& c : {Snr{235, "0.0 dB"}, Snr{1, "43.0 dB"}, Snr{100, "25.0 dB"}, Snr{0, "0.0 dB"},
                         Snr{236, "0.0 dB"}, Snr{255, "0.0 dB"}, Snr{234, "0.0 dB"}, Snr{229, "1.0 dB"}})
        EXPECT_EQ(SnrText(std::uint8_t(c.raw)), c.text) << c.raw;
}

TEST(SnifferRows, ColumnTexts) {
    // A QoS data frame, subtype 10, 100 bytes, with its FCS checked.
    RecordBuilder qos = RecordBuilder::Data(100);
    qos.Fc(0xA8).Rate(0, 9).Snr(100, 1).Mpdu(2, {0x2C, 0x01}).Mpdu(22, {0x12, 0x34}).Mpdu(24, {0x05, 0x00});
    qos.Addr(1, {0, 0, 0, 0, 0, 0}).Addr(3, {0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x45}).GoodFcs();
    CaptureOptions check;
    check.swCrcCheck = true;
    FrameStore& store = ProgramFrameStore();
    SnifferCapture capture(store);
    store.count = 0;
    ASSERT_TRUE(capture.DecodeRow(qos.data(), check));
    const auto texts = RowTexts(qos.data(), capture.Rows()[0]);
    const std::string fcs = Format("%08x", SoftwareCrc(qos.data()));
    const std::array<std::string, kColumnCount> want = {
        "00001", "", "02:02:02:02:02:02", "AB:CD:EF:01:23:45", "Qos-Data + CF-Poll", "300", "100", "12:34",
        " *", "", "", "2.0", "25.0 dB", "43.0 dB", "0005", "", "", fcs, fcs};
    for (int c = 0; c < kColumnCount; ++c) EXPECT_EQ(texts[c], want[c]) << ColumnAt(c).heading;

    // Flag and CRC columns by length, FCS and hardware bit.
    struct FlagCase { RecordBuilder b; bool check; const char* flag; const char* packetCrc; int swErrors; };
    const FlagCase cases[] = {
        {RecordBuilder::Data(64).BadFcs(), true, " *", "*", 0},
        {RecordBuilder::Data(65).BadFcs(), true, "Sw CRC", nullptr, 1},
        {RecordBuilder::Data(65).GoodFcs(), true, " *", nullptr, 0},
        {RecordBuilder::Data(65).BadFcs(), false, " *", "", 0},
        {RecordBuilder::Data(200).BadFcs().HwCrc(), true, "Hw CRC", nullptr, 0},
    };
    for (const FlagCase& c : cases) {
        SnifferCapture one(store);
        store.count = 0;
        CaptureOptions o;
        o.swCrcCheck = c.check;
        o.swCrcError = false;
        ASSERT_TRUE(one.DecodeRow(c.b.data(), o));
        EXPECT_EQ(ColumnText(c.b.data(), one.Rows()[0], kColFlag), c.flag);
        if (c.packetCrc) {
            EXPECT_EQ(ColumnText(c.b.data(), one.Rows()[0], kColPacketCrc), c.packetCrc);
            EXPECT_EQ(ColumnText(c.b.data(), one.Rows()[0], kColCalcCrc), c.packetCrc);
        }
        EXPECT_EQ(one.swCrcErrors, c.swErrors) << c.flag;
    }
}

TEST(SnifferRows, BeaconElementsStayInsideTheFrame) {
    struct Case { const char* what; RecordBuilder b; const char* ssid; const char* channel; };
    auto beacon = [](unsigned length, std::initializer_list<std::uint8_t> ies) {
        return RecordBuilder::Beacon(length).Mpdu(36, ies);
    };
    std::vector<std::uint8_t> longSsid = {0, 40};
    for (int i = 0; i < 40; ++i) longSsid.push_back(std::uint8_t('a' + i % 26));
    RecordBuilder longOne = RecordBuilder::Beacon(100);
    std::copy(longSsid.begin(), longSsid.end(), longOne.r.begin() + 40 + 36);
    longOne.Mpdu(36 + 42, {3, 1, 9});
    const Case cases[] = {
        {"ssid and ds", beacon(60, {0, 4, 'L', 'a', 'b', '1', 1, 1, 0x82, 3, 1, 6}), "Lab1", "6"},
        {"ds first", beacon(60, {3, 1, 11, 0, 2, 'Q', 'A'}), "QA", "11"},
        {"hidden ssid", beacon(60, {0, 0, 3, 1, 1}), "", "1"},
        {"ds without data", beacon(60, {0, 2, 'A', 'P', 3, 0}), "AP", ""},
        {"short beacon", beacon(37, {0, 2, 'A', 'P'}), "", ""},
        {"element past the end", beacon(42, {0, 20, 'X', 'Y', 'Z', 'W'}), "XYZW", ""},
        {"ds past the end", beacon(40, {0, 0, 3, 1, 7}), "", ""},
        {"long ssid", longOne, "abcdefghijklmnopqrstuvwxyzabcdef", "9"},
        {"oversized length", beacon(4000, {0, 1, 'Z', 3, 1, 13}), "Z", "13"},
        {"hardware crc", beacon(60, {0, 1, 'Z', 3, 1, 13}).HwCrc(), "", ""},
    };
    CaptureOptions o;
    o.swCrcCheck = true;
    o.swCrcError = false;
    for (const Case& c : cases) {
        EXPECT_EQ(Text(c.b, kColSsid, o), c.ssid) << c.what;
        EXPECT_EQ(Text(c.b, kColChannel, o), c.channel) << c.what;
    }
    // A length field past the record: the check runs over what the record holds.
    RecordBuilder big = RecordBuilder::Data(4000);
    EXPECT_EQ(Text(big, kColSize), "4000");
    EXPECT_EQ(FcsWord(big.data()), Le32(big.data() + kRecordBytes - 4));
    EXPECT_EQ(SoftwareCrc(big.data()), Crc32Msb(big.data() + 40 + 36, kMpduCapacity - 40));
}

TEST(SnifferFilter, AcceptanceAndMacFilter) {
    struct Case { bool others, beacon, crcError; bool beaconFrame, crcBad, accepted; };
    const Case cases[] = {
        {true, true, true, false, false, true},   {true, true, false, false, true, false},
        {true, false, true, true, false, false},  {false, true, true, false, false, false},
        {false, true, true, true, false, true},   {false, false, true, false, true, true},
        {false, true, false, true, true, false},  {false, false, false, false, false, false},
    };
    for (const Case& c : cases) {
        RecordBuilder b = c.beaconFrame ? RecordBuilder::Beacon(80) : RecordBuilder::Data(80);
        if (c.crcBad) b.HwCrc();
        CaptureOptions o;
        o.others = c.others, o.beacon = c.beacon, o.crcError = c.crcError;
        EXPECT_EQ(Accepted(b.data(), o), c.accepted)
            << c.others << c.beacon << c.crcError << " beacon " << c.beaconFrame << " crc " << c.crcBad;
    }

    struct Mac { const char* text; std::array<std::uint8_t, 6> bytes; };
    for (const Mac& c : {Mac{"000C43010203", {0, 0x0C, 0x43, 1, 2, 3}}, Mac{"abcdefABCDEF", {0xAB, 0xCD, 0xEF, 0xAB, 0xCD, 0xEF}},
                         Mac{"0G0000000000", {0xFF, 0, 0, 0, 0, 0}}, Mac{"00", {0, 0xEF, 0xEF, 0xEF, 0xEF, 0xEF}}}) {
        const MacFilter f = ParseMacFilter(c.text);
        EXPECT_TRUE(std::equal(c.bytes.begin(), c.bytes.end(), f.bytes)) << c.text;
    }
    const RecordBuilder data = RecordBuilder::Data(80).Addr(3, {9, 9, 9, 9, 9, 9});
    EXPECT_TRUE(ParseMacFilter("000000000000").Passes(data.data()));
    EXPECT_TRUE(ParseMacFilter("000C43010203").Passes(data.data()));
    EXPECT_TRUE(ParseMacFilter("020202020202").Passes(data.data()));
    EXPECT_TRUE(ParseMacFilter("090909090909").Passes(data.data()));
    EXPECT_FALSE(ParseMacFilter("000C43010204").Passes(data.data()));
}

class SnifferProcess : public ::testing::Test {
  protected:
    void SetUp() override { store.Clear(); }
    // `n` copies of `b`, as one delivery.
    static std::vector<std::uint8_t> Records(const RecordBuilder& b, int n) {
        std::vector<std::uint8_t> out;
        for (int i = 0; i < n; ++i) out.insert(out.end(), b.r.begin(), b.r.end());
        return out;
    }
    FrameStore& store = ProgramFrameStore();
    SnifferCapture capture{store};
};

TEST_F(SnifferProcess, ShortFramesHiddenRowsAndTimestamps) {
    CaptureOptions o; // "SW CRC Error" checked: 64 bytes or less are dropped
    auto shortFrames = Records(RecordBuilder::Data(64), 3);
    auto longFrames = Records(RecordBuilder::Data(65), 2);
    shortFrames.insert(shortFrames.end(), longFrames.begin(), longFrames.end());
    shortFrames.resize(shortFrames.size() + 100); // a partial record at the end is not one
    EXPECT_EQ(capture.Process(shortFrames.data(), shortFrames.size(), o), SnifferCapture::TickEnd::Done);
    EXPECT_EQ(capture.totalFrames, 2);
    EXPECT_EQ(store.count, 2);
    ASSERT_EQ(capture.Rows().size(), 2u);
    EXPECT_EQ(ColumnText(store.Record(1), capture.Rows()[1], kColNo), "00002");

    // Hidden data: counted and stored, no rows.
    o.hideData = true;
    capture.Process(longFrames.data(), longFrames.size(), o);
    EXPECT_EQ(capture.totalFrames, 4);
    EXPECT_EQ(store.count, 4);
    EXPECT_EQ(capture.Rows().size(), 2u);

    // Timestamps from the first stored frame; a dropped frame still moves the previous one.
    store.Clear();
    capture.ClearList();
    o = {};
    o.timestamp = true;
    std::vector<std::uint8_t> timed;
    for (auto [t, l] : {std::pair{1000u, 80u}, {1500u, 80u}, {1700u, 20u}, {2600u, 80u}}) {
        const RecordBuilder b = RecordBuilder::Data(l).Time(t);
        timed.insert(timed.end(), b.r.begin(), b.r.end());
    }
    capture.Process(timed.data(), timed.size(), o);
    ASSERT_EQ(capture.Rows().size(), 3u);
    const std::pair<const char*, const char*> want[] = {{"0", "0"}, {"500", "500"}, {"1600", "900"}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ColumnText(store.Record(i), capture.Rows()[i], kColTime), want[i].first);
        EXPECT_EQ(ColumnText(store.Record(i), capture.Rows()[i], kColDeltaT), want[i].second);
    }
}

TEST_F(SnifferProcess, FullStoreStopsOrWraps) {
    const auto batch = Records(RecordBuilder::Data(100), 5000);
    for (bool wrap : {false, true}) {
        SCOPED_TRACE(wrap);
        store.Clear();
        capture.ClearList();
        capture.totalFrames = 0;
        CaptureOptions o;
        o.wrapAround = wrap;
        for (int tick = 0; tick < 3; ++tick)
            EXPECT_EQ(capture.Process(batch.data(), batch.size(), o), SnifferCapture::TickEnd::Done);
        // The tick that fills the store: its remaining frames are left, or start the list again.
        std::vector<std::uint8_t> last = batch;
        last.insert(last.end(), batch.begin(), batch.begin() + 3 * kRecordBytes);
        EXPECT_EQ(capture.Process(last.data(), last.size(), o),
                  wrap ? SnifferCapture::TickEnd::Done : SnifferCapture::TickEnd::StoreFull);
        EXPECT_EQ(store.count, wrap ? 3 : kStoreRecords);
        EXPECT_EQ(capture.Rows().size(), wrap ? 3u : std::size_t(kStoreRecords));
        EXPECT_EQ(capture.totalFrames, wrap ? kStoreRecords + 3 : kStoreRecords);
        if (wrap) {
            EXPECT_EQ(ColumnText(store.Record(0), capture.Rows()[0], kColNo), "00001");
        }
    }
}

class PacketFiles : public ::testing::Test, public vq::test::ScratchFiles {
  protected:
    PacketFiles() : ScratchFiles("vq_sniffer_") {}
    void SetUp() override {
        store.Clear();
        SetPrompter(&prompter);
    }
    void TearDown() override { SetPrompter(nullptr); }
    void Fill(int n) {
        for (int i = 0; i < n; ++i) {
            RecordBuilder b = (i % 3 == 0) ? RecordBuilder::Beacon(60).Mpdu(36, {0, 2, 'A', 'P', 3, 1, 6})
                                           : RecordBuilder::Data(80 + i);
            if (i % 3 == 1) b.Fc(0x88).Rate(2 + (i & 1), i % 16).Mpdu(24, {3, 0});
            if (i % 5 == 4) b.HwCrc();
            b.Time(1000000u + 1234u * i).Snr(std::uint8_t(100 + i), std::uint8_t(i % 2 ? 0 : 150)).GoodFcs();
            std::copy(b.r.begin(), b.r.end(), store.Record(i));
        }
        store.count = n;
    }
    FrameStore& store = ProgramFrameStore();
    RecordingPrompter prompter;
};

TEST_F(PacketFiles, PacFileRoundTripAndDamagedFiles) {
    struct Ext { const char* in; const char* out; };
    for (const Ext& c : {Ext{"/tmp/cap", "/tmp/cap.pac"}, Ext{"/tmp/x.y/cap", "/tmp/x.y/cap"},
                         Ext{"/tmp/cap.bin", "/tmp/cap.bin"}, Ext{"", ".pac"}})
        EXPECT_EQ(WithPacketExtension(c.in), c.out);

    Fill(7);
    const std::string path = Path("seven.pac");
    WriteFile(path, std::string(20 * kRecordBytes, 'x')); // a longer old file is replaced whole
    ASSERT_TRUE(SavePacketFile(path, store));
    const std::string bytes = ReadFile(path);
    ASSERT_EQ(bytes.size(), 4 + 7 * kRecordBytes);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\x07\x00\x00\x00", 4));
    EXPECT_EQ(0, std::memcmp(bytes.data() + 4 + 3 * kRecordBytes, store.Record(3), kRecordBytes));

    std::vector<std::uint8_t> saved(store.Data(), store.Data() + 7 * kRecordBytes);
    store.Clear();
    LoadResult r = LoadPacketFile(path, store);
    EXPECT_TRUE(r.opened);
    EXPECT_EQ(r.loaded, 7);
    EXPECT_TRUE(r.message.empty());
    EXPECT_EQ(0, std::memcmp(saved.data(), store.Data(), saved.size()));

    struct Damaged { const char* what; std::string bytes; int loaded; const char* message; };
    const std::string rec(kRecordBytes, '\x01');
    const Damaged cases[] = {
        {"empty count", std::string(4, '\0'), 0, ""},
        {"fewer than counted", std::string("\x05\x00\x00\x00", 4) + rec + rec + "partial", 2,
         "The packet file counts 5 records but holds 2. 2 records were loaded."},
        {"count past the store", std::string("\x21\x4E\x00\x00", 4) + rec, 1,
         "The packet file counts 20001 records but holds 1. 1 records were loaded."},
        {"no count", "ab", 0, "The packet file holds no record count. 0 records were loaded."},
    };
    for (const Damaged& c : cases) {
        WriteFile(Path("d.pac"), c.bytes);
        r = LoadPacketFile(Path("d.pac"), store);
        EXPECT_EQ(r.loaded, c.loaded) << c.what;
        EXPECT_EQ(r.message, c.message) << c.what;
    }
    // A count above 20000 with all its records: the store's 20000 are read, never more.
    {
        std::string big("\x30\x75\x00\x00", 4); // 30000
        big += std::string(std::size_t(kStoreRecords + 5) * kRecordBytes, '\x02');
        WriteFile(Path("big.pac"), big);
        r = LoadPacketFile(Path("big.pac"), store);
        EXPECT_EQ(r.loaded, kStoreRecords);
        EXPECT_EQ(r.message, "The packet file counts 30000 records; the store holds 20000. 20000 records were loaded.");
    }
    EXPECT_FALSE(LoadPacketFile(Path("missing.pac"), store).opened);
}

TEST_F(PacketFiles, PcapWrittenAndReadBack) {
    Fill(9);
    const std::vector<std::uint8_t> bytes = PcapBytes(store);
    // Global header: microsecond magic, version 2.4, snap length, radiotap link type.
    ASSERT_GE(bytes.size(), 24u);
    EXPECT_EQ(Le32(bytes.data()), 0xA1B2C3D4u);
    EXPECT_EQ(Le16(bytes.data() + 4), 2);
    EXPECT_EQ(Le16(bytes.data() + 6), 4);
    EXPECT_EQ(Le32(bytes.data() + 16), 65535u);
    EXPECT_EQ(Le32(bytes.data() + 20), 127u);
    // First packet: time from the record, lengths, radiotap version and length.
    const std::uint8_t* p = bytes.data() + 24;
    EXPECT_EQ(Le32(p), 1u);
    EXPECT_EQ(Le32(p + 4), 0u);
    EXPECT_EQ(Le32(p + 8), Le32(p + 12));
    EXPECT_EQ(p[16], 0);
    const unsigned rtLength = Le16(p + 18);
    EXPECT_EQ(Le32(p + 8), rtLength + MpduLength(store.Record(0)));

    const std::string path = Path("cap.pcap");
    ASSERT_TRUE(IsPcapName(path));
    ASSERT_TRUE(SavePcapFile(path, store));
    std::vector<std::uint8_t> saved(store.Data(), store.Data() + 9 * kRecordBytes);
    store.Clear();
    const LoadResult r = LoadPacketFile(path, store);
    ASSERT_EQ(r.loaded, 9);
    EXPECT_TRUE(r.message.empty());
    // Rebuilt records list the same texts as the originals.
    for (int i = 0; i < 9; ++i) {
        ListRow row;
        row.storeIndex = i;
        row.flags = kRowSwCrcChecked;
        const auto a = RowTexts(saved.data() + i * kRecordBytes, row), b = RowTexts(store.Record(i), row);
        for (int c = 0; c < kColumnCount; ++c) EXPECT_EQ(a[c], b[c]) << "record " << i << " " << ColumnAt(c).heading;
        EXPECT_EQ(Timestamp(store.Record(i)), Timestamp(saved.data() + i * kRecordBytes));
        EXPECT_EQ(HwCrcBad(store.Record(i)), HwCrcBad(saved.data() + i * kRecordBytes));
    }

    // tcpdump reads the file as radiotap 802.11 frames.
    if (std::system("command -v tcpdump >/dev/null 2>&1") != 0) GTEST_SKIP() << "tcpdump is not installed";
    const std::string out = Path("tcpdump.txt");
    ASSERT_EQ(std::system(("tcpdump -n -r " + path + " > " + out + " 2>&1").c_str()), 0) << ReadFile(out);
    const std::string text = ReadFile(out);
    EXPECT_NE(text.find("IEEE802_11_RADIO"), std::string::npos) << text;
    EXPECT_NE(text.find("Beacon (AP)"), std::string::npos) << text;
    int lines = 0;
    for (char ch : text) lines += ch == '\n';
    EXPECT_GE(lines, 10) << text; // the header line and nine frames
}

} // namespace
