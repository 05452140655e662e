#include "txrx/core/txrx_model.h"

#include "base/services.h"
#include "device/sequence.h"
#include "device/program_state.h"

#include <cerrno>
#include <cstring>

namespace vq {

// ---- Text conversions -------------------------------------------------------

// Blanks and tabs before the number; decimal with a sign, saturating at
// 32 bits; hexadecimal with an optional 0x, wrapping at 32 bits.
long long ParseDecimal(const std::string& text) {
    constexpr NumberFormat kDecimal{
        .base = 10, .blanks = Blanks::SpaceTab, .sign = true, .overflow = Overflow::Saturate, .limit = 0xFFFFFFFF};
    return NumberPrefix(text, kDecimal);
}

std::uint32_t ParseHex(const std::string& text) {
    constexpr NumberFormat kHex{.base = 16, .blanks = Blanks::SpaceTab, .hexPrefix = true};
    return std::uint32_t(NumberPrefix(text, kHex));
}

// ---- Channel list -----------------------------------------------------------

int ChannelFrequencyMhz(int n) {
    if (n == 14) return 2484;
    if (n >= 1 && n <= 13) return 2407 + 5 * n;
    if (n >= 184) return 4000 + 5 * n;
    return 5000 + 5 * n;
}

std::string ChannelLabel(int n) {
    const char* pad = n < 10 ? "    " : n < 100 ? "  " : "";
    return Format("%s%d  %d-MHz", pad, n, ChannelFrequencyMhz(n));
}

ChannelList MakeChannelList(ChannelPlan plan) {
    std::vector<int> numbers;
    for (int n = 1; n <= 14; ++n)
        numbers.push_back(n);
    if (plan == ChannelPlan::Dual53) {
        for (int n : {36,  38,  40,  44,  46,  48,  52,  54,  56,  60,  62,  64,  100,
                      102, 104, 108, 110, 112, 116, 118, 120, 124, 126, 128, 132, 134,
                      136, 140, 149, 151, 153, 157, 159, 161, 165, 167, 169, 171, 173})
            numbers.push_back(n);
    } else if (plan == ChannelPlan::Dual62) {
        for (int n : {36, 38, 40, 42, 44, 46, 48, 50, 52, 54, 56, 58, 60, 62, 64})
            numbers.push_back(n);
        for (int n = 100; n <= 140; n += 2)
            numbers.push_back(n);
        for (int n : {149, 151, 153, 155, 157, 159, 161, 165, 184, 188, 192, 196})
            numbers.push_back(n);
    }
    ChannelList list;
    list.count = int(numbers.size());
    for (int n : numbers) {
        list.labels.push_back(ChannelLabel(n));
        list.numbers.push_back(std::uint16_t(n));
    }
    return list;
}

const ChannelList& CurrentChannelList() {
    static const ChannelList list = MakeChannelList(ChannelPlan::Band24);
    return list;
}

int CurrentChannelNumber() {
    const ChannelList& list = CurrentChannelList();
    int i = State().channelIndex;
    if (i < 0 || i >= list.count) i = 0;
    return list.numbers[std::size_t(i)];
}

// ---- Mode, rate, bandwidth --------------------------------------------------

const std::vector<std::string>& ModeLabels() {
    static const std::vector<std::string> v = {" CCK", " OFDM", "HT MixMode", "HT GreenField"};
    return v;
}

const std::vector<std::string>& RateLabels(int mode) {
    static const std::vector<std::string> cck = {
        "MCS=0;  LP  1 Mbps", "MCS=1;  LP  2 Mbps", "MCS=2;  LP  5.5 Mbps", "MCS=3;  LP 11 Mbps",
        "MCS=8;  SP  1 Mbps", "MCS=9;  SP  2 Mbps", "MCS=10; SP  5.5 Mbps", "MCS=11; SP 11 Mbps"};
    static const std::vector<std::string> ofdm = {"MCS=0;  6 Mbps", "MCS=1;  9 Mbps", "MCS=2; 12 Mbps",
                                                  "MCS=3; 18 Mbps", "MCS=4; 24 Mbps", "MCS=5; 36 Mbps",
                                                  "MCS=6; 48 Mbps", "MCS=7; 54 Mbps"};
    static const std::vector<std::string> ht = {
        "MCS=0;   6.5 Mbps", "MCS=1;   13 Mbps",  "MCS=2;   19.5Mbps", "MCS=3;   26 Mbps", "MCS=4;   39 Mbps",
        "MCS=5;   52 Mbps",  "MCS=6;  58.5 Mbps", "MCS=7;   65 Mbps",  "MCS=8;   13 Mbps", "MCS=9;   26 Mbps",
        "MCS=10;  39 Mbps",  "MCS=11;  52 Mbps",  "MCS=12;  78 Mbps",  "MCS=13; 104 Mbps", "MCS=14; 117 Mbps",
        "MCS=15; 130 Mbps",  "MCS=32;   6 Mbps"};
    if (mode == kModeCck) return cck;
    if (mode == kModeOfdm) return ofdm;
    return ht;
}

const std::vector<std::string>& BandwidthLabels() {
    static const std::vector<std::string> v = {"10", "20", "40"};
    return v;
}

const std::vector<std::string>& TxBandSelLabels() {
    static const std::vector<std::string> v = {"Lower", "Upper"};
    return v;
}

int McsForRate(int mode, int rateIndex) {
    if (mode == kModeCck) return rateIndex <= 3 ? rateIndex : rateIndex + 8;
    if (mode == kModeOfdm) return rateIndex;
    return rateIndex == 16 ? 32 : rateIndex;
}

// ---- Frame types ------------------------------------------------------------

namespace {
const FrameTypeInfo kFrameTypes[kFrameTypeCount] = {
    {"[  0] Assoc Req", 0, 42},
    {"[  1] Assoc Rsp", 1, 36},
    {"[  2] Reassoc Req", 2, 45},
    {"[  3] Reassoc Rsp", 3, 36},
    {"[  4] Probe Req", 4, 32},
    {"[  5] Probe Rsp", 5, 53},
    {"[  6] Beacon", 6, 59},
    {"[  7] ATIM", 7, 24},
    {"[  8] Disassoc", 8, 26},
    {"[  9] Authentication", 9, 30},
    {"[10] Deauthentication", 10, 26},
    {"[11] PS-Poll", 11, 16},
    {"[12] RTS", 12, 16},
    {"[13] CTS", 13, 10},
    {"[14] ACK", 14, 10},
    {"[15] Data", 15, 24},
    {"[16] Null Function", 16, 24},
    {"[17] User1(Random length)", 15, 24},
    {"[18] User2(Inc length)", 15, 1504},
    {"[19] User3(Dec length)", 15, 1504},
    {"[20] User4(Data+CRC)", 15, 1058},
    {"[21] QoS Data", 21, 1504},
};
} // namespace

const FrameTypeInfo& FrameTypeAt(int index) {
    if (index < 0 || index >= kFrameTypeCount) index = kFrameUser4DataCrc;
    return kFrameTypes[index];
}

const FrameTemplate FrameTemplates[kFrameTypeCount] = {
    {{"0000", "0000", "000A40112233", "000A40123456", "000A40AABBCC", "0000",
      "0100030000064B414C56494B010482848B96"}},
    {{"1000", "0000", "000A40112233", "000A40123456", "000A40AABBCC", "0000", "0100000002C0010482848B96"}},
    {{"2000", "0000", "000A40112233", "000A40123456", "000A40AABBCC", "0000",
      "010001000060B31668960003574C31010402040B16"}},
    {{"3000", "0000", "000A40112233", "000A40123456", "000A40AABBCC", "0000", "0100000014C0010482848B96"}},
    {{"4000", "0000", "FFFFFFFFFFFF", "000A40123456", "FFFFFFFFFFFF", "0000", "0000010482840B16"}},
    {{"5000", "0000", "000A40112233", "000A40123456", "000A40AABBCC", "0000",
      "BA13E906140000006400010000064B414C56494B010482848B96030103"}},
    {{"8000", "0000", "FFFFFFFFFFFF", "000A40123456", "000A40AABBCC", "0000",
      "BA13E906140000006400010000064B414C56494B010482848B96030103050401020000"}},
    {{"9000", "0000", "000A40112233", "000A40123456", "000A40AABBCC", "0000", ""}},
    {{"A000", "0000", "000A40112233", "000A40123456", "000A40AABBCC", "0000", "0100"}},
    {{"B000", "F800", "000A40112233", "000A40123456", "000A40AABBCC", "2002", "000001000000"}},
    {{"C000", "0000", "000A40112233", "000A40123456", "000A40AABBCC", "0000", "0100"}},
    {{"A400", "0100", "000A40112233", "000A40123456", "", "", ""}},
    {{"B400", "0000", "000A40112233", "000A40123456", "", "", ""}},
    {{"C400", "0000", "000A40123456", "", "", "", ""}},
    {{"D400", "0000", "000A40123456", "", "", "", ""}},
    {{"0800", "0000", "FFFFFFFFFFFF", "000A40123456", "000A40AABBCC", "0000", ""}},
    {{"4800", "0000", "000A40112233", "000A40123456", "000A40AABBCC", "0000", ""}},
    {{"", "", "", "", "", "", ""}},
    {{"", "", "", "", "", "", ""}},
    {{"", "", "", "", "", "", ""}},
    {{"", "", "", "", "", "", ""}},
    {{"8800", "0000", "FFFFFFFFFFFF", "000A40123456", "000A40AABBCC", "0000", ""}},
};

std::string WithProtectedDigit(const std::string& fc, int cipher) {
    std::string out = fc;
    if (out.size() >= 3) out[2] = cipher != 0 ? '4' : '0';
    return out;
}

FrameFields FrameTypeFields(CDeviceCommands& dev, int index) {
    DeviceSequence sequence;
    FrameFields f;
    const FrameTypeInfo& info = FrameTypeAt(index);
    if (index == kFrameUser1Random) {
        f.totalBytesEnabled = false;
    } else if (index == kFrameUser2Inc || index == kFrameUser3Dec || index == kFrameQosData) {
        f.minLengthEnabled = true;
        f.minLength = "44";
    }
    const FrameTemplate& row = FrameTemplates[info.templateRow];
    for (int i = 0; i < 7; ++i)
        f.text[i] = row.text[i];
    if (info.totalBytes > 15) {
        std::uint32_t a = 0, b = 0;
        dev.MacRead(0x1008, a);
        dev.MacRead(0x100C, b);
        f.text[3] = BoardAddressText(a, b);
    }
    f.totalBytes = std::to_string(info.totalBytes);
    return f;
}

std::string BoardAddressText(std::uint32_t a, std::uint32_t b) {
    return Format("%02X%02X%02X%02X%02X%02X", a & 0xFF, (a >> 8) & 0xFF, (a >> 16) & 0xFF, (a >> 24) & 0xFF,
                  b & 0xFF, (b >> 8) & 0xFF);
}

// ---- TX environment ---------------------------------------------------------

namespace {
TxEnvironment g_txEnv;
}
TxEnvironment& TxEnv() {
    return g_txEnv;
}
void ResetTxEnv() {
    g_txEnv = TxEnvironment{};
}

// ---- Key table ----------------------------------------------------------------

// Fixed key material of this program for the TKIP MIC keys and the extended IV.
const std::uint8_t kTxMicKey[8] = {0x51, 0x41, 0x54, 0x58, 0x4D, 0x49, 0x43, 0x30};
const std::uint8_t kRxMicKey[8] = {0x51, 0x41, 0x52, 0x58, 0x4D, 0x49, 0x43, 0x31};
const std::uint8_t kEivConstant[4] = {0x00, 0x00, 0x00, 0x20};

void ProgramWcidKeys(CDeviceCommands& dev, unsigned w, unsigned b, unsigned k, unsigned c, unsigned t,
                     const std::string& keyText) {
    DeviceSequence sequence;
    std::uint8_t key[16] = {};
    const std::vector<std::uint8_t> bytes = HexTextToBytes(keyText);
    for (std::size_t i = 0; i < 16 && i < bytes.size(); ++i)
        key[i] = bytes[i];

    const std::uint32_t entry = t == 1 ? 0x4000 + 32 * w : 0x6C00 + 32 * (4 * b + k);
    for (unsigned i = 0; i < 4; ++i)
        dev.MacWrite(entry + 4 * i, GetLe32(key + 4 * i));
    dev.MacWrite(entry + 16, GetLe32(kTxMicKey));
    dev.MacWrite(entry + 20, GetLe32(kTxMicKey + 4));
    dev.MacWrite(entry + 24, GetLe32(kRxMicKey));
    dev.MacWrite(entry + 28, GetLe32(kRxMicKey + 4));

    dev.MacWrite(0x6000 + 8 * w, 1);
    dev.MacWrite(0x6004 + 8 * w, GetLe32(kEivConstant));

    dev.MacWrite(0x6800 + 4 * w, t + 2 * c + 16 * b);

    if (t == 0) {
        const std::uint32_t s = 0x7000 + 4 * (b / 2);
        std::uint32_t v = 0;
        dev.MacRead(s, v);
        const unsigned shift = (b % 2 == 0) ? 4 * k : 16 + 4 * k;
        v = (v & ~(0x7u << shift)) | ((c & 0x7u) << shift);
        dev.MacWrite(s, v);
    }
}

// ---- Txwi and StartTX payload -----------------------------------------------

void BuildTxwi(CDeviceCommands& dev, const TxFrameInputs& in, const TxDescriptorValues& desc,
               unsigned totalBytes, Txwi& txwi) {
    DeviceSequence sequence;
    ProgramState& st = State();
    st.phyMode = in.mode;
    st.rateIndex = in.rateIndex;

    std::uint32_t w0 = 0, w1 = 0;
    w0 |= std::uint32_t(McsForRate(in.mode, in.rateIndex) & 0x7F) << 16;
    w0 |= std::uint32_t(in.mode & 3) << 30;
    if (in.bandwidth == 2 && IsHtMode(in.mode)) w0 |= 1u << 23;
    if (in.sgiEnabled && in.sgi) w0 |= 1u << 24;
    if (in.stbcEnabled && in.stbc) w0 |= 1u << 25;
    if (in.ampduEnabled && in.ampdu) {
        w0 |= 1u << 4;
        w1 |= (std::uint32_t(ParseDecimal(desc.baWinSize)) & 0x3F) << 2;
    }
    if (in.mpduDensityVisible) w0 |= (std::uint32_t(ParseDecimal(in.mpduDensity)) & 7) << 5;
    w0 &= ~0x300u; // TXOP
    if (in.waitAck) w1 |= 1;
    if (in.seqByHw) w1 |= 2;
    w1 |= (totalBytes & 0xFFFu) << 16;
    w1 |= 1u << 8; // WCID 1
    txwi.word[0] = w0;
    txwi.word[1] = w1;

    // Entry 1 of the WCID table holds the board's own address.
    std::uint32_t a = 0, b = 0;
    dev.MacRead(0x1008, a);
    dev.MacRead(0x100C, b);
    dev.MacWrite(0x1808, a);
    dev.MacWrite(0x180C, b & 0xFFFF);
    ProgramWcidKeys(dev, 1, 0, 0, unsigned(desc.cipher), unsigned(desc.keyTable), desc.keyValue);
}

void ProgramInterPacketGap(CDeviceCommands& dev, const std::string& ipgText) {
    DeviceSequence sequence;
    std::uint32_t unused = 0, v = 0;
    dev.MacRead(0x1100, unused);
    long long ipg = ParseDecimal(ipgText);
    if (ipg < 0) ipg = 0;
    static const std::uint32_t kAifsn[4] = {0x1300, 0x1304, 0x1308, 0x130C};
    if (ipg < 256) {
        for (std::uint32_t r : kAifsn) {
            dev.MacRead(r, v);
            dev.MacWrite(r, 0);
        }
    } else {
        std::uint32_t slotReg = 0;
        dev.MacRead(0x1104, slotReg);
        const std::uint32_t slot = slotReg & 0xFF;
        std::uint32_t q = 0;
        if (slot != 0) {
            q = std::uint32_t(ipg) / slot;
            ipg = ipg % slot;
        } else {
            ipg = 255; // no slot time to split the gap into: longest SIFS the field holds
        }
        for (std::uint32_t r : kAifsn) {
            dev.MacRead(r, v);
            dev.MacWrite(r, q * 256);
        }
    }
    dev.MacWrite(0x1100, std::uint32_t(ipg) + 256 * std::uint32_t(ipg));
}

void SetPayloadRepeat(StartTxPayload& p, std::uint32_t repeat) {
    p.repeat = repeat;
    if (p.bytes.size() >= kOffRepeat + 4) PutBe32(p.bytes.data() + kOffRepeat, repeat);
}

std::uint16_t RingSelectionBits(int frameType, const TxDescriptorValues& d) {
    if (frameType == kFrameQosData)
        return std::uint16_t((d.ac0 ? 1 : 0) | (d.ac1 ? 2 : 0) | (d.ac2 ? 4 : 0) | (d.ac3 ? 8 : 0));
    return d.ac0 ? 1 : 0;
}

void SetPayloadRingBits(StartTxPayload& p, std::uint16_t bits) {
    if (p.bytes.size() >= kOffRingBits + 2) PutBe16(p.bytes.data() + kOffRingBits, bits);
}

int BuildStartTxPayload(CDeviceCommands& dev, const TxFrameInputs& in, const TxDescriptorValues& desc,
                        StartTxPayload& out) {
    DeviceSequence sequence;
    const int type = in.frameType;
    if (type == kFrameBeacon) return kFrameBeacon;

    const std::uint32_t repeat = std::uint32_t(ParseDecimal(in.repeat));
    long long totalBytes = ParseDecimal(in.totalBytes);
    if (totalBytes < 0) totalBytes = 0;
    long long budget = totalBytes + kTxwiLength;

    if (type == kFrameUser2Inc || type == kFrameUser3Dec) {
        if (ParseDecimal(in.minLength) < 28) {
            ShowMessage("Packet length is too short!");
            return kBuildRefused;
        }
    }
    if (type == kFrameQosData) budget += 2;

    Txwi txwi;
    std::uint32_t txd = 0x04000000;
    if (in.wiv) {
        txd |= 0x01000000;
        txwi.word[2] = ParseHex(desc.iv);
        txwi.word[3] = ParseHex(desc.eiv);
    }
    BuildTxwi(dev, in, desc, unsigned(totalBytes), txwi);

    // EDCA parameters of the four access categories, one nibble each.
    std::uint32_t aifsn = 0, cwmin = 0, cwmax = 0;
    for (int ac = 0; ac < 4; ++ac) {
        aifsn |= std::uint32_t(desc.aifsn[ac] & 0xF) << (4 * ac);
        cwmin |= std::uint32_t(desc.cwmin[ac] & 0xF) << (4 * ac);
        cwmax |= std::uint32_t(desc.cwmax[ac] & 0xF) << (4 * ac);
    }
    dev.MacWrite(0x214, aifsn);
    dev.MacWrite(0x218, cwmin);
    dev.MacWrite(0x21C, cwmax);

    const std::uint8_t fill = std::uint8_t(ParseHex(in.repeatPattern));

    // The 802.11 frame: header fields while the budget lasts, then the payload.
    std::uint8_t frame[kFrameArea] = {};
    auto put = [&frame](std::size_t offset, const std::string& hex, std::size_t width) {
        const std::vector<std::uint8_t> b = HexTextToBytes(hex);
        for (std::size_t i = 0; i < width && i < b.size(); ++i)
            frame[offset + i] = b[i];
    };
    std::size_t L = 0;
    put(0, in.fc, 2);
    L = 2;
    budget -= 2;
    put(2, in.dur, 2);
    L = 4;
    budget -= 2;
    put(4, in.addr1, 6);
    L = 10;
    budget -= 6;
    if (budget >= 6) {
        put(10, in.addr2, 6);
        L += 6;
        budget -= 6;
        if (budget >= 6) {
            put(16, in.addr3, 6);
            L += 6;
            budget -= 6;
        }
    }
    if (budget >= 2) {
        put(22, in.seq, 2);
        L += 2;
        budget -= 2;
    }
    if (type == kFrameQosData && budget >= 2) {
        L += 4; // QoS Control at 24 and two zero bytes
        budget -= 4;
    }
    if (in.debugInfo && budget >= 52) {
        L += 52;
        budget -= 52;
    }
    if (budget > 0) {
        const std::vector<std::uint8_t> body = HexTextToBytes(in.payload);
        std::size_t n = body.size();
        if (std::size_t(budget) < n) n = std::size_t(budget);
        if (n > kFrameArea - L) n = kFrameArea - L; // the frame area holds 512 bytes
        if (n) std::memcpy(frame + L, body.data(), n); // an empty payload text has no bytes at all
        L += n;
    }

    if (in.ipgEnabled) ProgramInterPacketGap(dev, in.ipg);

    if (type == kFrameQosData) {
        const std::uint16_t qos = std::uint16_t(ParseHex(in.qosControl));
        frame[24] = std::uint8_t(qos);
        frame[25] = std::uint8_t(qos >> 8);
        if (in.rdgVisible) {
            std::uint32_t v = 0;
            dev.MacRead(0x1350, v);
            if (in.rdg) {
                dev.MacWrite(0x1350, v | 0x800);
                frame[1] |= 0x80; // FC order bit: HT control field present
                std::memset(frame + 28, 0, 4);
            } else {
                dev.MacWrite(0x1350, v & ~0x800u);
            }
        }
    }

    out.bytes.assign(L + kTxwiLength + 13, 0);
    std::uint8_t* p = out.bytes.data();
    PutLe32(p, txd);
    for (int i = 0; i < 5; ++i)
        PutLe32(p + 4 + 4 * i, txwi.word[i]);
    PutBe32(p + kOffRepeat, repeat);
    PutBe16(p + kOffRingBits, 0);
    PutBe16(p + kOffFrameLength, std::uint16_t(L));
    std::memcpy(p + kOffFrame, frame, L);
    p[kOffFrame + L] = fill;
    out.repeat = repeat;
    out.frameLength = std::uint16_t(L);
    return type;
}

// ---- Radio configuration ----------------------------------------------------

namespace {
std::uint16_t ReadConfigWord(CDeviceCommands& dev, std::uint16_t offset) {
    ProgramState& st = State();
    if (st.eepromSource.load() == EepromSourceKind::Buffer && offset + 1u >= sizeof st.eepromBuffer) {
        ShowMessage(Format("DefaultTXPowerLevel DeviceIoControl failed!  Error = %d", errno));
        return 0;
    }
    std::uint16_t w = 0;
    dev.EepromRead(offset, w);
    return w;
}
} // namespace

void LoadRadioConfig(CDeviceCommands& dev) {
    DeviceSequence sequence;
    std::uint32_t v = 0;
    dev.MacRead(0x400, v);
    dev.MacWrite(0x400, v | 0xE00);
    dev.MacWrite(0x1004, 0);
    ProgramState& st = State();
    st.antennaConfig = ReadConfigWord(dev, 0x34);
    st.nicConfig = ReadConfigWord(dev, 0x36);
    st.nicConfig2 = ReadConfigWord(dev, 0x42);
    const std::uint16_t lna = ReadConfigWord(dev, 0x44);
    st.lnaGainG = std::uint8_t(lna & 0xFF);
    st.lnaGainA = std::uint8_t(lna >> 8);
}

} // namespace vq
