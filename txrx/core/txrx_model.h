// Parameter model of the TX/RX page: channel, mode, rate and bandwidth lists,
// the frame types with their templates, the TX wireless information block
// (Txwi) and the StartTX payload with the MAC register writes that go with it.
// No widgets: the page hands its control values in a TxFrameInputs record.
#pragma once

#include "base/format.h"
#include "base/hex_text.h"
#include "device/device_commands.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vq {

// ---- Text conversions -------------------------------------------------------

// Decimal and hexadecimal text as the page reads it: leading blanks skipped,
// conversion stops at the first character that is not a digit (0 when none).
long long ParseDecimal(const std::string& text);
std::uint32_t ParseHex(const std::string& text);

// ---- Channel list -----------------------------------------------------------

struct ChannelList {
    int count = 0;
    std::vector<std::string> labels;
    std::vector<std::uint16_t> numbers;
};
enum class ChannelPlan { Band24, Dual53, Dual62 };
ChannelList MakeChannelList(ChannelPlan plan);
// The list in force: the 14 channels of the 2.4 GHz band.
const ChannelList& CurrentChannelList();
int ChannelFrequencyMhz(int channel);
// "    1  2412-MHz": blanks by digit count, two blanks, frequency, "-MHz".
std::string ChannelLabel(int channel);
inline bool IsFiveGhzChannel(int channel) {
    return channel > 14;
}
// Channel number of the program-wide channel index.
int CurrentChannelNumber();

// ---- Mode, rate, bandwidth --------------------------------------------------

constexpr int kModeCck = 0, kModeOfdm = 1, kModeHtMix = 2, kModeHtGreen = 3;
inline bool IsHtMode(int mode) {
    return mode == kModeHtMix || mode == kModeHtGreen;
}
const std::vector<std::string>& ModeLabels();
const std::vector<std::string>& RateLabels(int mode);
const std::vector<std::string>& BandwidthLabels();
const std::vector<std::string>& TxBandSelLabels();
// MCS field of the Txwi for a mode and rate index (CCK short preamble rates
// are 12..15, HT index 16 is MCS 32).
int McsForRate(int mode, int rateIndex);

// ---- Frame types ------------------------------------------------------------

constexpr int kFrameTypeCount = 22;
constexpr int kFrameBeacon = 6;
constexpr int kFrameCts = 13;
constexpr int kFrameAck = 14;
constexpr int kFrameUser1Random = 17;
constexpr int kFrameUser2Inc = 18;
constexpr int kFrameUser3Dec = 19;
constexpr int kFrameUser4DataCrc = 20;
constexpr int kFrameQosData = 21;
constexpr int kBuildRefused = 255;

struct FrameTypeInfo {
    const char* label;
    int templateRow;
    int totalBytes;
};
const FrameTypeInfo& FrameTypeAt(int index);

// FC, Dur, Address1, Address2, Address3, Seq, Payload.
struct FrameTemplate {
    const char* text[7];
};
extern const FrameTemplate FrameTemplates[kFrameTypeCount];

// What choosing a frame type puts into the frame fields: the template row's
// texts (FC, Dur, Address1..3, Seq, Payload), "Total Bytes", and which length
// fields are open. Frames longer than 15 bytes carry the board's own address
// (MAC 0x1008 and 0x100C) as Address2.
struct FrameFields {
    std::string text[7];
    std::string totalBytes;
    std::optional<std::string> minLength; // "44" for the types with a minimum length
    bool totalBytesEnabled = true;
    bool minLengthEnabled = false;
};
FrameFields FrameTypeFields(CDeviceCommands& dev, int index);

// FC text with its third digit (the protected-frame bit) set for a cipher.
std::string WithProtectedDigit(const std::string& fc, int cipher);
// Board MAC address from the MAC registers 0x1008 and 0x100C.
std::string BoardAddressText(std::uint32_t mac1008, std::uint32_t mac100C);

// ---- TX descriptor and TX environment values --------------------------------

// The fields of the "Set Tx Descriptor and TX-WI" dialog; one record lives with
// the page so the values survive between openings.
struct TxDescriptorValues {
    bool qosLayout = false;
    bool ac0 = true, ac1 = false, ac2 = false, ac3 = false, mgmt = false, hcca = false;
    bool dataInc = false, lenRandom = false;
    bool scatter[5] = {false, false, false, false, false}; // AC0..AC3, MGMT
    bool boundary4k = false;
    int ringType = 0; // "AC0", "AC1", "AC2", "AC3", "Mgmt"
    int ifs = 1, drop = 1, moreFrag = 0, ack = 0, timestamp = 0, retryMd = 0, tkipMic = 0, burst = 0;
    int ivOffset = 0;
    int cipher = 0;   // 0 none .. 7 reserved
    int keyTable = 0; // 0 shared, 1 pairwise
    int keyIndex = 0;
    std::string keyValue = "5C1E93A07B44D2F8E61A0C9735BD48F2";
    std::string iv = "3A7C19E5";
    std::string eiv = "3A7C19E5";
    std::string baWinSize = "15";
    // AC0, AC1, AC2, AC3, MGMT.
    int aifsn[5] = {2, 2, 3, 7, 7};
    int cwmin[5] = {2, 3, 4, 4, 4};
    int cwmax[5] = {3, 4, 4, 4, 4};
};

// How the frame-loss figure is computed when a signal generator sends the
// frames; program-wide, set by the "Set Tx environment" dialog.
struct TxEnvironment {
    int frameLossMode = 0; // 0 "TX Packet", 1 "Free Run (Packets/Sec)"
    std::uint32_t expectedCount = 1000;
};
TxEnvironment& TxEnv();
void ResetTxEnv();

// Key table entries for a WCID from the descriptor's security settings.
void ProgramWcidKeys(CDeviceCommands& dev, unsigned wcid, unsigned bss, unsigned keyIndex, unsigned cipher,
                     unsigned keyTable, const std::string& keyText);
// The program's fixed MIC keys and extended IV for the key table.
extern const std::uint8_t kTxMicKey[8];
extern const std::uint8_t kRxMicKey[8];
extern const std::uint8_t kEivConstant[4];

// ---- Txwi and StartTX payload -----------------------------------------------

constexpr int kTxwiLength = 20;
constexpr int kFrameArea = 512;

struct Txwi {
    std::uint32_t word[5] = {0, 0, 0, 0, 0};
};

// The page's control values that feed the frame and the Txwi.
struct TxFrameInputs {
    int frameType = kFrameUser4DataCrc;
    int mode = kModeOfdm;
    int rateIndex = 7;
    int bandwidth = 1;
    std::string fc = "0800", dur = "0000", addr1 = "FFFFFFFFFFFF", addr2 = "000A40AABBCC",
                addr3 = "001122334455", seq = "0000", payload, repeatPattern = "AA", totalBytes = "40",
                repeat = "1000", ipg = "200", minLength, qosControl, mpduDensity = "0";
    bool sgiEnabled = false, sgi = false;
    bool stbcEnabled = false, stbc = false;
    bool ampduEnabled = true, ampdu = false;
    bool waitAck = false, seqByHw = false, wiv = false;
    bool rdgVisible = false, rdg = false;
    bool debugInfo = false;
    bool mpduDensityVisible = false;
    bool ipgEnabled = true;
};

// Words 0 and 1 from the controls, WCID 1 entry and its key material.
void BuildTxwi(CDeviceCommands& dev, const TxFrameInputs& in, const TxDescriptorValues& desc,
               unsigned totalBytes, Txwi& txwi);

struct StartTxPayload {
    std::vector<std::uint8_t> bytes; // L + T + 13 bytes
    std::uint32_t repeat = 0;
    std::uint16_t frameLength = 0; // L
};
constexpr std::size_t kOffRepeat = 4 + kTxwiLength;
constexpr std::size_t kOffRingBits = 8 + kTxwiLength;
constexpr std::size_t kOffFrameLength = 10 + kTxwiLength;
constexpr std::size_t kOffFrame = 12 + kTxwiLength;

// Builds the payload and performs the EDCA, WCID, key and inter-packet gap
// register writes. Returns the frame type index, kFrameBeacon (nothing built)
// or kBuildRefused after "Packet length is too short!".
int BuildStartTxPayload(CDeviceCommands& dev, const TxFrameInputs& in, const TxDescriptorValues& desc,
                        StartTxPayload& out);
void ProgramInterPacketGap(CDeviceCommands& dev, const std::string& ipgText);
void SetPayloadRepeat(StartTxPayload& p, std::uint32_t repeat);
// Ring selection bits: AC0..AC3 boxes for QoS Data, else AC0 only.
std::uint16_t RingSelectionBits(int frameType, const TxDescriptorValues& desc);
void SetPayloadRingBits(StartTxPayload& p, std::uint16_t bits);

// ---- Radio configuration ----------------------------------------------------

// MAC 0x400 bits 9..11, MAC 0x1004 = 0, then EEPROM words 0x34, 0x36, 0x42 and
// 0x44 into the program-wide radio configuration.
void LoadRadioConfig(CDeviceCommands& dev);

} // namespace vq
