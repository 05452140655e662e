#include "txrx/core/txrx_radio.h"

#include "base/format.h"
#include "base/services.h"
#include "device/device_commands.h"
#include "device/program_state.h"
#include "device/sequence.h"
#include "registers/core/synth_table.h"
#include "txrx/core/radio_tables.h"
#include "txrx/core/txrx_control.h"
#include "txrx/core/txrx_model.h"

#include <algorithm>

namespace vq {

namespace {

// Register access with read-modify-write helpers. A failed read leaves the
// local value as it was (the command layer has shown the message). Each
// operation that holds one is a device sequence.
struct Regs {
    DeviceSequence sequence;
    CDeviceCommands dev;

    std::uint32_t Mac(std::uint32_t address, std::uint32_t fallback = 0) {
        std::uint32_t v = fallback;
        dev.MacRead(address, v);
        return v;
    }
    void SetMac(std::uint32_t address, std::uint32_t value) { dev.MacWrite(address, value); }
    std::uint32_t MacAndOr(std::uint32_t address, std::uint32_t andMask, std::uint32_t orMask) {
        const std::uint32_t v = (Mac(address) & andMask) | orMask;
        SetMac(address, v);
        return v;
    }
    std::uint8_t Bbp(unsigned reg) {
        std::uint8_t v = 0;
        dev.BbpAccess(0, reg, v);
        return v;
    }
    void SetBbp(unsigned reg, unsigned value) {
        std::uint8_t v = std::uint8_t(value);
        dev.BbpAccess(1, reg, v);
    }
    void BbpAndOr(unsigned reg, unsigned andMask, unsigned orMask) {
        SetBbp(reg, (Bbp(reg) & andMask) | orMask);
    }
    std::uint8_t Rf(unsigned bank, unsigned reg) {
        std::uint8_t v = 0;
        dev.RfAccess(0, bank, reg, v);
        return v;
    }
    void SetRf(unsigned bank, unsigned reg, unsigned value) {
        std::uint8_t v = std::uint8_t(value);
        dev.RfAccess(1, bank, reg, v);
    }
    void RfAndOr(unsigned bank, unsigned reg, unsigned andMask, unsigned orMask) {
        SetRf(bank, reg, (Rf(bank, reg) & andMask) | orMask);
    }
    std::uint16_t Eeprom(std::uint16_t offset) {
        std::uint16_t w = 0;
        dev.EepromRead(offset, w);
        return w;
    }
    // Indirect pair R195 (index) / R196 (data).
    void SetR195(unsigned index, unsigned value) {
        dev.SetIndirectBbp(195, std::uint8_t(index), std::uint8_t(value));
    }
};

bool IsFiveGhz(int channelNumber) {
    return channelNumber > 14;
}

bool ExternalLna24() {
    return (State().nicConfig & 0x0004) != 0;
}

bool AlternativeTxPower() {
    return (State().nicConfig & 0xC000) == 0xC000;
}

int LnaGain(bool fiveGhz) {
    return fiveGhz ? State().lnaGainA : State().lnaGainG;
}

// Reference divider as the synthesizer's R13 code: 1, 2, 3, 0.5 -> 0, 1, 2, 3.
unsigned ReferenceDividerCode(double r) {
    if (r == 1.0) return 0;
    if (r == 2.0) return 1;
    if (r == 3.0) return 2;
    return 3;
}

} // namespace

int ChannelNumberOf(int index) {
    const ChannelSynthEntry* e = SynthEntry(index);
    return e ? e->channel : 0;
}

void CTxRxRadio::Reset() {
    const CTxRxRadio fresh;
    systemRegister0 = fresh.systemRegister0;
    systemRegister4 = fresh.systemRegister4;
    systemRegisterC = fresh.systemRegisterC;
    packageFieldA = fresh.packageFieldA;
    packageFieldB = fresh.packageFieldB;
    packageBit16 = fresh.packageBit16;
    alcRegisterDefault = fresh.alcRegisterDefault;
    txPowerRegisterCopy = fresh.txPowerRegisterCopy;
    std::copy(std::begin(fresh.txPowerPerRate), std::end(fresh.txPowerPerRate), txPowerPerRate);
}

bool CTxRxRadio::FortyMhzPackageCase(int channelNumber) const {
    return packageFieldA == 2 && packageFieldB == 2 && State().bandwidthIndex == 2 && channelNumber == 11;
}

void CTxRxRadio::InitializePage(TxRxRadioSettings& s) {
    Regs r;
    ProgramState& st = State();

    // System registers: the package fields select the 40 MHz channel 11 settings.
    r.dev.MacRead(0x10000000, systemRegister0);
    r.dev.MacRead(0x10000004, systemRegister4);
    r.dev.MacRead(0x1000000C, systemRegisterC);
    packageFieldA = int(systemRegisterC & 0xF);
    packageFieldB = int((systemRegisterC >> 8) & 0xF);
    packageBit16 = (systemRegisterC & 0x10000) != 0;

    // System and protection control bits.
    r.SetMac(0x807C, (r.Mac(0x807C) & 0x00FFFFFF) | 0x02000000);
    r.SetMac(0x40C, 0x10103030);
    r.MacAndOr(0x228, 0xFFFFFFFF, 0xF000);

    // ALC, TX power and protection defaults.
    alcRegisterDefault = 0x2F2F0000;
    r.SetMac(0x13B0, alcRegisterDefault);
    static constexpr std::uint32_t kDefaults[][2] = {
        {0x13C0, 0},          {0x13C4, 0},          {0x13C8, 0x06060606}, {0x1210, 2},
        {0x1214, 0x000055FF}, {0x1218, 0x00550055}, {0x121C, 0x000055FF}, {0x1220, 0x00550055},
        {0x13A8, 0x6C6C6A6C}, {0x13AC, 0x6C6C6A6C}, {0x13A0, 0x3630363A}, {0x13A4, 0x3630363A}};
    for (const auto& w : kDefaults)
        r.SetMac(w[0], w[1]);

    // TX power configuration as the board has it; DAC register start value.
    r.dev.MacRead(0x13B4, txPowerRegisterCopy);
    r.SetMac(0x1328, 0x00150F0F);

    LoadRadioConfig(r.dev);
    const std::uint16_t nic = st.nicConfig;

    // Board MAC address from the EEPROM.
    const std::uint16_t mac0 = r.Eeprom(0x04);
    const std::uint16_t mac1 = r.Eeprom(0x06);
    const std::uint16_t mac2 = r.Eeprom(0x08);
    r.Mac(0x1008);
    const std::uint32_t old100C = r.Mac(0x100C);
    r.SetMac(0x1008, std::uint32_t(mac0) + 65536u * mac1);
    r.SetMac(0x100C, (old100C & 0xFFFF0000) + mac2);
    r.SetMac(0x102C, 0x7F031E46);
    WriteTxPowerRegisters(false);

    if (AlternativeTxPower()) {
        r.SetMac(0x13A8, 0x6C6C6B6C);
        r.SetMac(0x13AC, 0x6C6C6B6C);
        r.SetMac(0x13A0, 0x36303636);
    }
    r.MacAndOr(0x400, 0xFFFFFFFF, 0x00000E00);

    // Calibration controls of the IQ calibration option.
    s.iqCalVisible = st.optIqCal;

    // RF self-test option: DAC register for the loopback tests.
    if (st.optRfBist) r.SetMac(0x1328, (r.Mac(0x1328) & 0xFFFEFDFF) | 0x00040022);

    // Transmitter and receiver off while the radio is set up.
    r.SetMac(0x1400, 3);
    r.MacAndOr(0x1004, ~0xCu, 0);
    r.SetMac(0x1204, 3);
    r.SetMac(0x1330, 0x401);
    r.SetMac(0x1334, 0x000C0000);
    r.SetMac(0x1338, 0);

    if (AlternativeTxPower()) {
        r.MacAndOr(0x530, 0xFFFFFFFF, 0x101);
        r.MacAndOr(0x534, 0xFFFFFFFF, 0x101);
    }

    s.chipInfo = Format("VQ9447 :: %d T %d R", st.TxPathCount(), st.RxPathCount());

    // BBP reset pulse and start-up values.
    r.BbpAndOr(21, 0xFF, 0x01);
    Sleep(1);
    r.BbpAndOr(21, 0xFE, 0);
    for (const BbpWriteEntry& e : kBbpInitTable)
        r.SetBbp(e.reg, e.value);

    // BBP defaults and the two indirect tables.
    r.BbpAndOr(3, 0x3F, 0);
    r.BbpAndOr(22, 0x7F, 0);
    const unsigned lnaG = 55u - st.lnaGainG;
    r.SetBbp(62, lnaG);
    r.SetBbp(63, lnaG);
    r.SetBbp(64, lnaG);
    if (ExternalLna24()) {
        r.SetBbp(79, 92);
        r.SetBbp(80, 76);
        r.SetBbp(82, 102);
        r.dev.SetIndirectBbp(158, 3, 103);
    }
    r.BbpAndOr(1, 0xFF, 0x04);
    r.SetBbp(142, 48);
    r.SetBbp(143, 247);
    // The R158/R159 table is written with the receiver enabled.
    const std::uint32_t sysCtrl = r.Mac(0x1004);
    r.SetMac(0x1004, sysCtrl | 8);
    for (const IndirectEntry& e : kR158Table)
        r.dev.SetIndirectBbp(158, e.index, e.value);
    Sleep(30);
    r.SetMac(0x1004, sysCtrl);
    for (const IndirectEntry& e : kR195Table)
        r.SetR195(e.index, e.value);
    if (ExternalLna24()) r.SetR195(141, 21);

    // RF start-up values.
    const RfWriteEntry* rf = RfInitTable();
    for (std::size_t i = 0; i < kRfInitCount; ++i)
        r.SetRf(rf[i].bank, rf[i].reg, rf[i].value);

    // Alternative TX power defaults, external LNA, VCO calibration.
    if (AlternativeTxPower()) {
        r.MacAndOr(0x530, 0xFFFFFFFF, 0x101);
        static const std::uint8_t alt[][2] = {{43, 115}, {44, 115}, {45, 115}, {46, 39},  {47, 200},
                                              {48, 164}, {49, 5},   {54, 39},  {55, 200}, {56, 164},
                                              {57, 5},   {58, 39},  {59, 200}, {60, 164}, {61, 5}};
        for (const auto& e : alt) {
            r.SetRf(4, e[0], e[1]);
            r.SetRf(6, e[0], e[1]);
        }
        r.SetRf(5, 5, 0);
        r.SetRf(7, 5, 0);
    }
    if (ExternalLna24()) {
        static const std::uint8_t lna[][2] = {{14, 102}, {17, 32}, {18, 66}};
        for (const auto& e : lna) {
            r.SetRf(4, e[0], e[1]);
            r.SetRf(6, e[0], e[1]);
        }
    }
    r.RfAndOr(0, 4, 0xFF, 0x80);
    Sleep(5);

    // First channel set-up.
    s.mode = st.phyMode;
    s.channel = st.channelIndex;
    ApplyChannel(s);
    s.ipgEnabled = true;
    s.rate = 3;
    s.bandwidth = 1;

    // Transmit paths.
    switch (st.TxPathCount()) {
    case 1:
        r.RfAndOr(0, 2, 0x0F, 0x10);
        s.secondTxPathEnabled = false;
        break;
    case 2:
        r.RfAndOr(0, 2, 0x0F, 0x30);
        break;
    case 3:
        r.RfAndOr(0, 2, 0x0F, 0x70);
        break;
    default:
        break;
    }

    // Receive paths: the RSSI controls of missing paths are disabled.
    const int rxPaths = st.RxPathCount();
    if (rxPaths == 1) {
        r.BbpAndOr(3, 0xE4, 0);
        r.RfAndOr(0, 2, 0xF1, 0x01);
        s.rxPath1Enabled = false;
    } else if (rxPaths == 2) {
        r.BbpAndOr(3, 0xEC, 0x08);
        r.RfAndOr(0, 2, 0xF3, 0x03);
    }
    if (rxPaths == 1 || rxPaths == 2) s.rxPath2Enabled = false;

    // Board calibrations around the receiver calibration.
    r.dev.Calibration(8, 0);
    RunRxCalibration();
    r.dev.Calibration(7, 0);

    // Antenna diversity setting.
    switch ((nic >> 11) & 3) {
    case 1:
    case 2:
        s.antennaEnabled = true;
        s.antenna = Antenna::Main;
        ApplyAntennaChoice(false);
        break;
    case 3:
        s.antennaEnabled = true;
        s.antenna = Antenna::Aux;
        ApplyAntennaChoice(true);
        break;
    default:
        break;
    }

    // Transmit on DAC 0 until the operator chooses otherwise.
    s.dac = Dac::Dac0;
    ApplyDacChoice(s);

    // Counters and the default frame.
    s.zeroCounters = true;
    s.sgiEnabled = false;
    s.stbcEnabled = false;
    s.wiv = true;
    s.waitForAck = false;
    s.seqByHw = true;
    s.frameType = kFrameUser4DataCrc;
    s.frameFields = FrameTypeFields(r.dev, kFrameUser4DataCrc);
    s.totalBytes = "1058";
    s.minLength = "0";

    // Lower side band, selectable only for 40 MHz.
    s.setTxEnvEnabled = false;
    s.txBandSel = 0;
    s.txBandSelEnabled = false;
    r.MacAndOr(0x132C, ~1u, 0);

    // The board's address as the MAC block now holds it.
    s.frameLossEnabled = false;
    const std::uint32_t a = r.Mac(0x1008);
    const std::uint32_t b = r.Mac(0x100C);
    const std::string address = BoardAddressText(a, b);
    s.macAddress = address;
    s.address2 = address;

    // Temperature compensation, internal ALC, temperature sensor.
    s.tempCom = (nic & 0x0002) != 0;
    OnTempCom(s);
    s.intAlc = (nic & 0x2000) != 0;
    OnIntAlc(s);
    s.tempSensor = (st.nicConfig2 & 0x0800) == 0;
    s.tempSensorTimer = s.tempSensor;

    // QoS fields hidden until QoS Data is chosen.
    s.qosLayout = false;
    s.qosControlVisible = false;
    s.htQosVisible = false;
    s.debugInfo = false;
    s.swCrc = false;

    // The channel again, now with DAC, antenna and ALC settled.
    s.channel = st.channelIndex;
    ApplyChannel(s);

    s.sideBand = (r.Eeprom(0x36) & 0x0020) != 0;

    SetAutoResponderBit(r.dev, s.autoResponder);
    s.autoResponderSet = s.autoResponder;
    r.dev.ResetCounter();
    s.countersReset = true;

    // 20 MHz, the channel list, and the receive paths through both settings.
    s.bandwidth = 1;
    ApplyBandwidth(s);
    s.channel = st.channelIndex;
    FillModeAndRateLists(s);
    s.oneRxPath = true;
    ApplyRxPath(s);
    s.oneRxPath = false;
    ApplyRxPath(s);
}

void CTxRxRadio::ApplyChannel(TxRxRadioSettings& s) {
    ProgramState& st = State();
    // Only an index of the channel list reaches the synthesizer table.
    int index = s.channel;
    if (!SynthEntry(index)) index = st.channelIndex;
    const ChannelSynthEntry* synth = SynthEntry(index);
    if (!synth) return;

    st.channelIndex = index;
    const int n = synth->channel;
    const bool fiveGhz = IsFiveGhz(n);
    Regs r;
    r.Eeprom(fiveGhz ? 0xDC : 0x76);

    FillModeAndRateLists(s);
    ApplyMode(s);

    s.extLna = Format("ExtLNA = %d", (st.nicConfig >> (fiveGhz ? 3 : 2)) & 1);

    // LNA gain and the DAC band bits.
    if (fiveGhz) {
        std::uint8_t gain = std::uint8_t(r.Eeprom(0x44) >> 8);
        const std::uint16_t bandWord = (n >= 100 && n <= 128) ? 0x48 : (n >= 132 && n <= 165) ? 0x4C : 0;
        if (bandWord) {
            const std::uint16_t w = r.Eeprom(bandWord);
            if ((w >> 8) != 0xFF && w >= 256) gain = std::uint8_t(w >> 8);
        }
        st.lnaGainA = gain;
    }
    const int gain = LnaGain(fiveGhz);
    r.SetBbp(62, 55u - gain);
    r.SetBbp(63, 55u - gain);
    r.SetBbp(64, 55u - gain);
    r.SetBbp(66, 2u * gain + 4);
    if (fiveGhz)
        r.MacAndOr(0x1328, ~0xAu, 0xF05);
    else
        r.MacAndOr(0x1328, ~0x5u, 0xF0A);

    // Channel 14 in CCK at 20 MHz uses the Japan CCK filter.
    if (index != 13)
        r.BbpAndOr(4, 0xDF, 0);
    else if (st.phyMode == 0 && st.bandwidthIndex == 1)
        r.BbpAndOr(4, 0xFF, 0x20);

    // Synthesizer fields, each a read, field change and write.
    r.RfAndOr(0, 13, 0xFC, ReferenceDividerCode(synth->r));
    r.RfAndOr(0, 20, 0x00, synth->n & 0xFF);
    r.RfAndOr(0, 21, 0xFE, (synth->n >> 8) & 1);
    r.RfAndOr(0, 16, 0xF0, unsigned(synth->k) & 0x0F);
    r.RfAndOr(0, 22, 0xF8, synth->d & 0x07);
    r.RfAndOr(0, 17, 0x00, synth->ksd & 0xFF);
    r.RfAndOr(0, 18, 0x00, (synth->ksd >> 8) & 0xFF);
    r.RfAndOr(0, 19, 0xFC, (synth->ksd >> 16) & 0x03);

    const bool packageCase = FortyMhzPackageCase(n);
    r.SetRf(0, 28, packageCase ? 0x66 : 0x62);
    // Channels 1 to 10 (not the 40 MHz package case) and the upper channels
    // differ in BBP R30, RF R39 bit 7 and RF R42 bit 5.
    const bool lower = n <= 10 && !packageCase;
    r.SetBbp(30, lower ? 0x1F : 0x40);
    if (lower)
        r.RfAndOr(0, 39, 0xFF, 0x80);
    else
        r.RfAndOr(0, 39, 0x7F, 0);
    if (ExternalLna24())
        r.SetRf(0, 42, lower ? 0xDB : 0xFB);
    else if (lower)
        r.RfAndOr(0, 42, 0xDF, 0);
    else
        r.RfAndOr(0, 42, 0xFF, 0x20);

    LoadTxPower(s, 0);
    if (st.TxPathCount() >= 2) LoadTxPower(s, 1);

    // Crystal frequency offset.
    const std::uint8_t offset = std::uint8_t(r.Eeprom(0x3A) & 0xFF);
    r.SetRf(0, 12, offset);
    s.freqOffset = Hex2(offset);
    st.freqOffset = offset;

    // RSSI offsets of paths 0 and 1.
    const std::uint16_t rssi = r.Eeprom(fiveGhz ? 0x4A : 0x46);
    s.rssiOffset0 = Format("%02x", rssi & 0xFF);
    s.rssiOffset1 = Format("%02x", rssi >> 8);

    if (fiveGhz)
        r.MacAndOr(0x132C, ~0x4u, 0x2);
    else
        r.MacAndOr(0x132C, ~0x2u, 0x4);
    if (index == 13 && st.bandwidthIndex == 1) r.BbpAndOr(4, 0xFF, 0x20);

    RefreshTxPowerRegisters(s);
    Sleep(50);
    ApplyDacChoice(s);
    ApplyFortyMhzPowerDelta(s);

    // VCO calibration.
    r.SetRf(0, 4, 0x0C);
    r.SetRf(0, 5, 0x40);
    r.RfAndOr(0, 4, 0xFF, 0x80);
    Sleep(5);

    ApplyBandwidth(s);
}

void CTxRxRadio::ApplyBandwidth(TxRxRadioSettings& s) {
    ProgramState& st = State();
    const int index = st.channelIndex;
    const int n = ChannelNumberOf(index);
    const bool fiveGhz = IsFiveGhz(n);
    Regs r;

    r.BbpAndOr(4, 0xDF, 0);
    int b = s.bandwidth;
    if (b < 0 || b > 2) b = std::clamp(st.bandwidthIndex, 0, 2);
    st.bandwidthIndex = b;

    const unsigned r66 = unsigned(LnaGain(fiveGhz) + 2) * 2;
    const bool cck = st.phyMode == 0;
    if (b == 0) {
        s.txBandSelEnabled = false;
        r.BbpAndOr(4, 0xEF, 0x08);
        r.SetBbp(66, r66);
    } else if (b == 2) {
        s.txBandSelEnabled = st.phyMode == 0 || st.phyMode == 1;
        r.BbpAndOr(4, 0xF7, 0x10);
        r.SetBbp(66, r66);
    } else {
        s.txBandSelEnabled = false;
        r.BbpAndOr(4, 0xE7, 0);
        r.SetBbp(66, r66);
        if (index == 13 && cck) r.BbpAndOr(4, 0xFF, 0x20);
    }

    // Indirect filter settings, VGA bank bandwidth bits, board calibration item 5.
    r.SetR195(141, b == 2 ? 16 : (ExternalLna24() ? 21 : 26));
    r.SetR195(157, b == 2 ? 47 : 64);
    r.SetRf(5, 8, b == 2 ? 4 : 0);
    r.SetRf(7, 8, b == 2 ? 4 : 0);
    r.dev.Calibration(5, b == 2 ? 1 : 0);

    r.SetRf(0, 28, FortyMhzPackageCase(n) ? 0x66 : 0x62);

    RefreshTxPowerRegisters(s);
    Sleep(50);
    ApplyFortyMhzPowerDelta(s);
    if (s.contiTx && s.restartContinuousTx) s.restartContinuousTx(s);
}

void CTxRxRadio::ApplyMode(TxRxRadioSettings& s) {
    ProgramState& st = State();
    Regs r;
    if (s.mode >= 0) st.phyMode = s.mode;
    r.BbpAndOr(4, 0xDF, 0);
    const bool qos = s.frameType == kFrameQosData;
    const int mode = st.phyMode;
    s.rateLabelsOf = mode;
    if (mode == kModeCck || mode == kModeOfdm) {
        st.rateIndex = mode == kModeCck ? 3 : 7;
        s.rate = st.rateIndex;
        s.sgiEnabled = false;
        s.stbcEnabled = false;
        if (qos) s.htQosVisible = false;
        if (mode == kModeCck && st.channelIndex == 13 && st.bandwidthIndex == 1) {
            // Channel 14 carries CCK only at 20 MHz: the BBP's Japan channel bit.
            r.BbpAndOr(4, 0xFF, 0x20);
            s.txBandSelEnabled = false;
        } else {
            s.txBandSelEnabled = st.bandwidthIndex == 2;
        }
    } else {
        st.rateIndex = 7;
        s.rate = st.rateIndex;
        s.txBandSelEnabled = false;
        s.stbcEnabled = st.rateIndex < 8;
        s.sgiEnabled = true;
        if (qos) s.htQosVisible = true;
    }
    RefreshTxPowerRegisters(s);
    Sleep(50);
    if (s.restartContinuousTx) s.restartContinuousTx(s);
}

void CTxRxRadio::FillModeAndRateLists(TxRxRadioSettings& s) {
    ProgramState& st = State();
    if (IsFiveGhzChannel(CurrentChannelNumber()))
        st.phyMode = kModeOfdm;
    else
        s.modeEnabled = true;
    s.mode = st.phyMode;
    s.rateLabelsOf = st.phyMode;
    s.rate = st.rateIndex;
}

void CTxRxRadio::RefreshTxPowerRegisters(const TxRxRadioSettings& s) {
    WriteTxPowerRegisters(s.sideBand);
}

void CTxRxRadio::WriteTxPowerRegisters(bool sideBand) {
    Regs r;
    std::uint32_t words[8] = {};
    if (!sideBand) {
        // EEPROM words 0xDE..0xEE: per-rate power bytes.
        std::uint16_t w[9];
        for (int i = 0; i < 9; ++i)
            w[i] = r.Eeprom(std::uint16_t(0xDE + 2 * i));
        auto pair = [&](int lo, int hi) { return std::uint32_t(w[lo]) + 65536u * w[hi]; };
        words[0] = pair(0, 1);                                      // 0xDE, 0xE0
        words[1] = pair(2, 3);                                      // 0xE2, 0xE4
        words[2] = pair(4, 5);                                      // 0xE6, 0xE8
        words[3] = pair(6, 7);                                      // 0xEA, 0xEC
        words[4] = w[8];                                            // 0xEE
        words[5] = std::uint32_t(w[2] >> 8) + 65536u * (w[4] >> 8); // high bytes of 0xE2, 0xE6
        words[6] = w[6] >> 8;                                       // high byte of 0xEA
        words[7] = w[8] >> 8;                                       // high byte of 0xEE
        for (auto& v : words)
            v &= 0x3F3F3F3F;
    }
    for (int i = 0; i < 8; ++i) {
        r.SetMac(kTxPowerRateRegisters[i], words[i]);
        txPowerPerRate[i] = words[i];
    }
}

void CTxRxRadio::ApplyFortyMhzPowerDelta(const TxRxRadioSettings& s) {
    const bool intAlc = s.intAlc;
    const std::uint32_t target = intAlc ? 0x13B0 : 0x13B4;
    const std::uint32_t base = intAlc ? alcRegisterDefault : txPowerRegisterCopy;
    Regs r;
    if (State().bandwidthIndex != 2) {
        r.SetMac(target, base);
        return;
    }
    const std::uint16_t w = r.Eeprom(0x50);
    const std::uint8_t delta =
        IsFiveGhz(ChannelNumberOf(State().channelIndex)) ? std::uint8_t(w >> 8) : std::uint8_t(w & 0xFF);
    if (!(delta & 0x80) || delta == 0xFF) return;
    const int amount = std::min(delta & 0x3F, 8);
    const int low = int(base & 0x3F);
    int power;
    if (delta & 0x40) {
        power = low + amount;
        if (power >= 32) power = 0x1F;
    } else {
        power = low - amount;
        if (power < -32) power = -32;
    }
    r.SetMac(target, (base & ~0x3Fu) | (std::uint32_t(power) & 0x3F));
}

void CTxRxRadio::LoadTxPower(TxRxRadioSettings& s, int k) {
    if (k != 0 && k != 1) return;
    const int n = ChannelNumberOf(State().channelIndex);
    if (n == 0 || IsFiveGhz(n)) return; // the EEPROM holds 2.4 GHz channel powers only
    Regs r;
    std::uint8_t byte;
    if (s.intAlc) {
        byte = std::uint8_t(r.Eeprom(0xD0) & 0xFF);
    } else {
        const int offset = n + (k == 0 ? 81 : 95);
        const std::uint16_t w = r.Eeprom(std::uint16_t(offset & ~1));
        byte = std::uint8_t((offset & 1) ? w >> 8 : w & 0xFF);
    }
    // Powers of 48 and above are not calibrated values.
    std::uint8_t p = byte & 0x3F;
    if (p >= 48) p = 7;
    std::uint32_t v = r.Mac(0x13B0, alcRegisterDefault);
    v = k == 0 ? (v & ~0x3Fu) | p : (v & ~0x3F00u) | (std::uint32_t(p) << 8);
    r.SetMac(0x13B0, v);
    alcRegisterDefault = v;
    (k == 0 ? s.txPower0 : s.txPower1) = Hex2(p);
    (k == 0 ? State().txPower0 : State().txPower1) = p;
}

void CTxRxRadio::ApplyDacChoice(const TxRxRadioSettings& s) {
    if (s.dac == Dac::None) return;
    ApplyDac(s.dac);
    RunRxCalibration();
}

namespace {

// What each DAC choice programs: MAC 0x1328 DAC enables, BBP R1 bits 3/4, the
// transmit path bits of RF R2 and the DAC bits of RF R42 (read, mask, set).
struct DacSetting {
    Dac dac;
    std::uint32_t macAnd, macOr;
    unsigned bbpAnd, bbpOr, r2And, r2Or, r42And, r42Or;
};
constexpr DacSetting kDacSettings[] = {
    {Dac::Both, 0xFFFFFFFF, 0xF, 0xF7, 0x10, 0x0F, 0x30, 0xFF, 0x50},
    {Dac::Dac0, ~0xCu, 0x3, 0xE7, 0, 0x0F, 0x10, 0xBF, 0x10},
    {Dac::Dac1, ~0x3u, 0xC, 0xEF, 0x08, 0x0F, 0x20, 0xEF, 0x40},
};

} // namespace

void CTxRxRadio::ApplyDac(Dac dac) {
    Regs r;
    for (const DacSetting& d : kDacSettings) {
        if (d.dac != dac) continue;
        r.MacAndOr(0x1328, d.macAnd, d.macOr);
        r.BbpAndOr(1, d.bbpAnd, d.bbpOr);
        r.RfAndOr(0, 2, d.r2And, d.r2Or);
        r.RfAndOr(0, 42, d.r42And, d.r42Or);
    }
}

void CTxRxRadio::RunRxCalibration() {
    Regs r;
    std::uint32_t kept = 0;
    r.dev.MacRead(0x1004, kept);
    r.SetMac(0x1004, 8); // receiver alone
    Sleep(30);
    r.SetBbp(158, 141);
    r.BbpAndOr(159, 0xFF, 0x10);
    for (unsigned bank : {5u, 7u}) {
        const std::uint8_t v = r.Rf(bank, 4);
        r.SetRf(bank, 4, 100);
        r.SetRf(bank, 4, v & ~0x40u);
    }
    // Start the calibration; the board clears bit 6 when it is done.
    r.SetBbp(158, 140);
    r.BbpAndOr(159, 0xFF, 0x48);
    for (int poll = 0; poll < 100; ++poll) {
        if (!(r.Bbp(159) & 0x40)) break;
        if (poll < 99) Sleep(10);
    }
    r.BbpAndOr(159, 0xBF, 0);
    r.SetBbp(158, 141);
    r.BbpAndOr(159, 0xEF, 0);
    Sleep(30);
    r.SetMac(0x1004, kept);
}

void CTxRxRadio::ApplyRxPath(TxRxRadioSettings& s) {
    const int rxPaths = State().RxPathCount();
    Regs r;
    if (s.oneRxPath) {
        std::vector<std::string> items;
        for (int i = 1; i < rxPaths; ++i)
            items.push_back(Format("RX %d", i));
        items.push_back("RX 0");
        s.rxPathListEnabled = true;
        s.rxPathItems = items;
        s.rxPathSelection = int(items.size()) - 1; // the "RX 0" entry
        r.BbpAndOr(3, 0xFC, 0);
        r.BbpAndOr(3, 0xE7, 0);
        r.BbpAndOr(31, 0xBF, 0);
        r.RfAndOr(0, 2, 0xF1, 0x01);
        r.SetBbp(91, 7);
        r.SetBbp(95, 26);
        r.SetR195(128, 160);
        r.SetR195(170, 18);
        r.SetR195(171, 16);
        r.MacAndOr(0x51C, ~0x100u, 0x200);
        r.MacAndOr(0x518, ~0x100u, 0x200);
    } else {
        s.rxPathListEnabled = false;
        if (rxPaths == 1) {
            r.BbpAndOr(3, 0xE4, 0);
            r.RfAndOr(0, 2, 0xF1, 0x01);
        } else if (rxPaths == 2) {
            r.BbpAndOr(3, 0xEC, 0x08);
            r.RfAndOr(0, 2, 0xF3, 0x03);
        }
        r.BbpAndOr(3, 0xFF, 0x03);
        r.BbpAndOr(31, 0xFF, 0x40);
        r.SetBbp(91, ExternalLna24() ? 6 : 4);
        r.SetBbp(95, 154);
        r.SetR195(128, 224);
        r.SetR195(170, 48);
        r.SetR195(171, 48);
        r.MacAndOr(0x51C, ~0x300u, 0);
        r.MacAndOr(0x518, ~0x300u, 0);
    }
    RunRxCalibration();
}

void CTxRxRadio::ApplyRxPathSelection(const TxRxRadioSettings& s) {
    const int count = int(s.rxPathItems.size());
    const int selection = s.rxPathSelection;
    if (selection < 0 || selection >= count) return;
    // The list reads "RX 1" .. "RX n-1", then "RX 0".
    const int path = selection == count - 1 ? 0 : selection + 1;
    // BBP R3 receive path select, RF R2 receive path enables, and for paths 0
    // and 1 the antenna switch bits 8/9 of MAC 0x518 and 0x51C.
    struct PathSetting {
        unsigned r3And, r3Or, r2And, r2Or;
        std::uint32_t switchAnd, switchOr; // switchAnd 0: not switched
    };
    static constexpr PathSetting kPaths[3] = {
        {0xFC, 0, 0xF1, 0x01, ~0x100u, 0x200},
        {0xFD, 0x01, 0xF2, 0x02, ~0x200u, 0x100},
        {0xFE, 0x02, 0xF4, 0x04, 0, 0},
    };
    if (path > 2) return;
    const PathSetting& p = kPaths[path];
    Regs r;
    r.BbpAndOr(3, p.r3And, p.r3Or);
    r.RfAndOr(0, 2, p.r2And, p.r2Or);
    if (p.switchAnd) {
        r.MacAndOr(0x51C, p.switchAnd, p.switchOr);
        r.MacAndOr(0x518, p.switchAnd, p.switchOr);
    }
    RunRxCalibration();
}

void CTxRxRadio::ApplyTxBandSel(const TxRxRadioSettings& s) {
    Regs r;
    if (s.txBandSel == 1) { // "Upper"
        r.MacAndOr(0x132C, 0xFFFFFFFF, 0x1);
        r.BbpAndOr(3, 0xFF, 0x20);
    } else {
        r.MacAndOr(0x132C, ~0x1u, 0);
        r.BbpAndOr(3, 0xDF, 0);
    }
}

void CTxRxRadio::ApplyAntenna(const TxRxRadioSettings& s) {
    if (s.antenna == Antenna::Main)
        ApplyAntennaChoice(false);
    else if (s.antenna == Antenna::Aux)
        ApplyAntennaChoice(true);
}

void CTxRxRadio::ApplyAntennaChoice(bool aux) {
    Regs r;
    if (!aux) {
        r.MacAndOr(0x4, ~0x1u, 0);
        r.MacAndOr(0x228, ~0x800u, 0x8);
        r.SetBbp(150, 0x40);
        r.SetBbp(151, 0x30);
        r.SetBbp(152, 0x23);
        r.SetBbp(154, 0);
        if (!ExternalLna24()) r.RfAndOr(0, 42, 0x7F, 0);
    } else {
        r.MacAndOr(0x4, 0xFFFFFFFF, 0x1);
        r.MacAndOr(0x228, ~0x808u, 0);
        r.SetBbp(150, 0x40);
        r.SetBbp(151, 0x30);
        r.SetBbp(152, 0xA3);
        r.SetBbp(154, 0);
        r.RfAndOr(0, 42, 0xFF, 0x80);
    }
}

void CTxRxRadio::OnIntAlc(TxRxRadioSettings& s) {
    LoadTxPower(s, 0);
    LoadTxPower(s, 1);
    Regs r;
    if (s.intAlc) {
        r.BbpAndOr(47, 0xFF, 0x80);
        r.BbpAndOr(47, 0xF7, 0x10);
        r.dev.MacRead(0x13B4, txPowerRegisterCopy);
    } else {
        s.calTssiEnabled = true;
        const std::uint32_t v = r.Mac(0x13B4, txPowerRegisterCopy) & ~0x3Fu;
        r.SetMac(0x13B4, v);
        txPowerRegisterCopy = v;
    }
    ApplyFortyMhzPowerDelta(s);
}

void CTxRxRadio::OnTempCom(TxRxRadioSettings& s) {
    s.calTempEnabled = !s.tempCom;
}

void CTxRxRadio::OnDcdc127(const TxRxRadioSettings& s) {
    Regs r;
    const bool on = s.dcdc127;
    r.SetRf(0, 9, on ? 0x20 : 0);
    r.SetRf(0, 22, on ? 0x40 : 0);
    r.SetRf(4, 5, on ? 0x88 : 0x08);
    r.SetRf(6, 5, on ? 0x88 : 0x08);
}

CTxRxRadio& TxRxRadio() {
    static CTxRxRadio radio;
    return radio;
}

} // namespace vq
