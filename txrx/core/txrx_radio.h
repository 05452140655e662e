// Initialisation of the TX/RX page and the radio set-up operations: they
// program the board's MAC, BBP and RF registers from the built-in tables and
// the EEPROM, and reprogram the radio when channel, bandwidth, DAC, TX band,
// antenna, receive path or TX power options change.
#pragma once

#include "txrx/core/control_panel.h"

#include <cstdint>

namespace vq {

// Control ids of the TX/RX page that the radio set-up reads or changes.
namespace txrx_id {
constexpr int kChannel = 1019;
constexpr int kTxPower0 = 1029; // "TX Power0 (Hex)"
constexpr int kRate = 1030;
constexpr int kFreqOffset = 1032; // "Freq. Offset"
constexpr int kFc = 1021;
constexpr int kDur = 1022;
constexpr int kAddress1 = 1023;
constexpr int kAddress2 = 1024;
constexpr int kAddress3 = 1025;
constexpr int kSeq = 1026;
constexpr int kRepeat = 1034;
constexpr int kTotalBytes = 1064;
constexpr int kMode = 1066;
constexpr int kRepeatPattern = 1067;
constexpr int kFrameType = 1068;
constexpr int kMacAddress = 1070;
constexpr int kIpg = 1108;
constexpr int kFrameLossDisplay = 1117;
constexpr int kContiTx = 1119;
constexpr int kTxPower1Spin = 1172;
constexpr int kTempCom = 1189;  // "Temp. Com."
constexpr int kSetTxEnv = 1190; // "Set Tx Env..."
constexpr int kTxPower1Calibrate = 1191;
constexpr int kMinLength = 1199;
constexpr int kCalTemp = 1203; // "Cal Temp."
constexpr int kDebugInfo = 1207;
constexpr int kSwCrc = 1209;
constexpr int kAutoResponder = 1162;
constexpr int kRxCalibration = 1213;
constexpr int kTxCalibration = 1214;
constexpr int kCalResult = 1215;
constexpr int kCalDbgBus = 1216;
constexpr int kSgi = 1246;
constexpr int kStbc = 1247;
constexpr int kWaitForAck = 1252;
constexpr int kSeqByHw = 1253;
constexpr int kQosControl = 1254;
constexpr int kWiv = 1256;
constexpr int kTxPower1 = 1257; // "TX Power1 (Hex)"
constexpr int kRssiOffset0 = 1258;
constexpr int kRssiOffset1 = 1259;
constexpr int kMpduDensity = 1261;
constexpr int kBandwidth = 1267;
constexpr int kChipInfo = 1277;
constexpr int kCalDbgBusEdit = 1282;
constexpr int kRxPathList = 1337;
constexpr int kOneRxPath = 1338; // "One RX Path"
constexpr int kBothDacs = 1349;
constexpr int kDac0 = 1350;
constexpr int kDac1 = 1351;
constexpr int kTxBandSel = 1352;
constexpr int kSideBandOption = 1354; // "2.4G Side Band Option"
constexpr int kAntennaMain = 1401;
constexpr int kAntennaAux = 1402;
constexpr int kExtLna = 1410;     // "ExtLNA = %d"
constexpr int kIntAlc = 1417;     // "Int ALC"
constexpr int kCalTssi = 1418;    // "Cal TSSI"
constexpr int kDcdc127 = 1505;    // "1.27V DCDC"
constexpr int kTempSensor = 1506; // "Temp. Sensor"
} // namespace txrx_id

class CTxRxRadio {
  public:
    enum class Dac { None, Both, Dac0, Dac1 };

    // Page initialisation on first showing. The
    // page's own model (lists, frame template, counters, timers) is reached
    // through ITxRxPageActions when the panel implements it.
    void InitializePage(IControlPanel& panel);
    // Channel drop-down selection. A selection outside the channel list leaves
    // the radio untouched.
    void ApplyChannel(IControlPanel& panel);
    void ApplyBandwidth(IControlPanel& panel);
    // Per-rate TX power registers: all zero with "2.4G Side Band Option"
    // checked, else the EEPROM values.
    void RefreshTxPowerRegisters(IControlPanel& panel);
    void ApplyFortyMhzPowerDelta(IControlPanel& panel);
    // k = 0 or 1: TX power of path k for the current channel.
    void LoadTxPower(IControlPanel& panel, int k);
    // The checked DAC radio button, then the RX calibration routine.
    void ApplyDacChoice(IControlPanel& panel);
    // "One RX Path" check box.
    void ApplyRxPath(IControlPanel& panel);
    // Selection in the RX path list 1337 ("RX 1", "RX 2", "RX 0").
    void ApplyRxPathSelection(IControlPanel& panel);
    void ApplyTxBandSel(IControlPanel& panel);
    // The checked antenna radio button ("Main" or "Aux").
    void ApplyAntenna(IControlPanel& panel);
    void OnIntAlc(IControlPanel& panel);
    void OnTempCom(IControlPanel& panel);
    void OnDcdc127(IControlPanel& panel);
    // Receiver calibration of the board: enables the receiver alone, starts the
    // calibration through the R158/R159 table and waits for it to finish.
    void RunRxCalibration();

    // --- Values kept for the program's lifetime (read by other pages) ---
    std::uint32_t systemRegister0 = 0;             // MAC 0x10000000
    std::uint32_t systemRegister4 = 0;             // MAC 0x10000004
    std::uint32_t systemRegisterC = 0;             // MAC 0x1000000C
    int packageFieldA = 0;                         // 0x1000000C bits 0..3
    int packageFieldB = 0;                         // 0x1000000C bits 8..11
    bool packageBit16 = false;                     // 0x1000000C bit 16
    std::uint32_t alcRegisterDefault = 0x2F2F0000; // last value given to MAC 0x13B0
    std::uint32_t txPowerRegisterCopy = 0;         // MAC 0x13B4
    // Per-rate TX power words in the order of kTxPowerRateRegisters.
    static constexpr std::uint32_t kTxPowerRateRegisters[8] = {0x1314, 0x1318, 0x131C, 0x1320,
                                                               0x1324, 0x13D4, 0x13D8, 0x13DC};
    std::uint32_t txPowerPerRate[8] = {};

    // Back to the values of a fresh program (tests).
    void Reset();

  private:
    void WriteTxPowerRegisters(bool sideBand);
    void ApplyAntennaChoice(IControlPanel& panel, bool aux);
    void ApplyDac(Dac dac);
    bool FortyMhzPackageCase(int channelNumber) const;
};

// Channel number of a channel list index (1..14), 0 outside the list.
int ChannelNumberOf(int index);

// The page's one instance.
CTxRxRadio& TxRxRadio();

} // namespace vq
