// Initialisation of the TX/RX page and the radio set-up operations: they
// program the board's MAC, BBP and RF registers from the built-in tables and
// the EEPROM, and reprogram the radio when channel, bandwidth, DAC, TX band,
// antenna, receive path or TX power options change. They work on a settings
// record: the page copies its controls into it, calls an operation, and
// shows what comes back.
#pragma once

#include "txrx/core/txrx_model.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vq {

enum class Dac { None, Both, Dac0, Dac1 };
enum class Antenna { None, Main, Aux };

struct TxRxRadioSettings {
    // ---- Read and written: selections and check boxes ----
    int channel = 0;     // "Channel" list index
    int mode = -1;       // "Mode" list index
    int rate = -1;       // "Rate" list index
    int bandwidth = 1;   // "Bandwidth": 0 "10", 1 "20", 2 "40"
    int txBandSel = -1;  // "TxBandSel": 0 "Lower", 1 "Upper"
    int frameType = -1;  // "Frame Type"
    Dac dac = Dac::None; // the checked DAC button
    Antenna antenna = Antenna::None;
    bool oneRxPath = false;               // "One RX Path"
    std::vector<std::string> rxPathItems; // the list under "One RX Path"
    int rxPathSelection = -1;
    bool sideBand = false; // "2.4G Side Band Option"
    bool intAlc = false;   // "Int ALC"
    bool tempCom = false;  // "Temp. Com."
    bool dcdc127 = false;  // "1.27V DCDC"
    bool tempSensor = false;
    bool autoResponder = false;
    bool contiTx = false; // "Conti. Tx" (read only)

    // ---- Written only: what to show; unset leaves the control as it is ----
    std::optional<int> rateLabelsOf; // refill "Rate" with the labels of this mode
    std::optional<bool> wiv, waitForAck, seqByHw, debugInfo, swCrc;
    std::optional<std::string> chipInfo, extLna, txPower0, txPower1, freqOffset, rssiOffset0, rssiOffset1;
    std::optional<std::string> macAddress, address2;
    std::optional<FrameFields> frameFields; // a frame type's template, applied before the two below
    std::optional<std::string> totalBytes, minLength;
    std::optional<bool> modeEnabled, ipgEnabled, txBandSelEnabled, sgiEnabled, stbcEnabled;
    std::optional<bool> secondTxPathEnabled;            // TX power 1 controls, "Both DACs", "DAC 1"
    std::optional<bool> rxPath1Enabled, rxPath2Enabled; // RSSI and offset controls of paths 1 and 2
    std::optional<bool> antennaEnabled, rxPathListEnabled, setTxEnvEnabled, frameLossEnabled;
    std::optional<bool> calTssiEnabled, calTempEnabled;
    std::optional<bool> iqCalVisible;                    // the controls of the IQ calibration option
    std::optional<bool> qosControlVisible, htQosVisible; // "Qos Control"; RDG and MPDU density

    // ---- The page's own share, done when the operation has returned ----
    bool zeroCounters = false;  // the counter totals start again
    bool countersReset = false; // ResetCounter was sent: counter texts and the poll timer
    std::optional<bool> tempSensorTimer;
    std::optional<bool> qosLayout; // of the TX descriptor dialog
    std::optional<bool> autoResponderSet;

    // A running "Conti. Tx" is stopped and started again with the new radio
    // setting. The page shows the record so far, restarts, and reads it back.
    std::function<void(TxRxRadioSettings&)> restartContinuousTx;
};

class CTxRxRadio {
  public:
    // Page initialisation on first showing.
    void InitializePage(TxRxRadioSettings& s);
    // The "Channel" selection. A selection outside the channel list leaves
    // the radio untouched.
    void ApplyChannel(TxRxRadioSettings& s);
    void ApplyBandwidth(TxRxRadioSettings& s);
    // The "Mode" selection: rate list, BBP R4 bit 5, SGI/STBC/TxBandSel,
    // QoS fields, TX power refresh, 50 ms, "Conti. Tx" restart.
    void ApplyMode(TxRxRadioSettings& s);
    // Mode and rate lists for the current channel (5 GHz: OFDM only).
    void FillModeAndRateLists(TxRxRadioSettings& s);
    // Per-rate TX power registers: all zero with "2.4G Side Band Option"
    // checked, else the EEPROM values.
    void RefreshTxPowerRegisters(const TxRxRadioSettings& s);
    void ApplyFortyMhzPowerDelta(const TxRxRadioSettings& s);
    // k = 0 or 1: TX power of path k for the current channel.
    void LoadTxPower(TxRxRadioSettings& s, int k);
    // The checked DAC button, then the RX calibration routine.
    void ApplyDacChoice(const TxRxRadioSettings& s);
    // "One RX Path" check box.
    void ApplyRxPath(TxRxRadioSettings& s);
    // Selection in the RX path list ("RX 1", "RX 2", "RX 0").
    void ApplyRxPathSelection(const TxRxRadioSettings& s);
    void ApplyTxBandSel(const TxRxRadioSettings& s);
    // The checked antenna button ("Main" or "Aux").
    void ApplyAntenna(const TxRxRadioSettings& s);
    void OnIntAlc(TxRxRadioSettings& s);
    void OnTempCom(TxRxRadioSettings& s);
    void OnDcdc127(const TxRxRadioSettings& s);
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
    void ApplyAntennaChoice(bool aux);
    void ApplyDac(Dac dac);
    bool FortyMhzPackageCase(int channelNumber) const;
};

// Channel number of a channel list index (1..14), 0 outside the list.
int ChannelNumberOf(int index);

// The page's one instance.
CTxRxRadio& TxRxRadio();

} // namespace vq
