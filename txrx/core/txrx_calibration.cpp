#include "txrx/core/txrx_calibration.h"

#include "base/format.h"
#include "base/services.h"
#include "device/program_state.h"
#include "device/sequence.h"
#include "txrx/core/txrx_model.h"

namespace vq {

namespace {

std::int8_t SignedHex(const std::string& text) {
    return std::int8_t(std::uint8_t(ParseHex(text)));
}
std::uint8_t ByteHex(const std::string& text) {
    return std::uint8_t(ParseHex(text));
}

std::uint8_t Bbp(CDeviceCommands& dev, unsigned reg) {
    std::uint8_t v = 0;
    dev.BbpAccess(0, reg, v);
    return v;
}
void SetBbp(CDeviceCommands& dev, unsigned reg, std::uint8_t value) {
    dev.BbpAccess(1, reg, value);
}

// Read, change, write of one EEPROM word. A word that could not be read is
// not written: the bytes kept from it would be lost.
void UpdateEepromWord(CDeviceCommands& dev, std::uint16_t offset, std::uint16_t keep, std::uint16_t set) {
    std::uint16_t word = 0;
    if (dev.EepromRead(offset, word) != 0) return;
    dev.EepromWrite(offset, std::uint16_t((word & keep) | set));
}

} // namespace

// ---- TX power ---------------------------------------------------------------

std::uint16_t WithEepromByte(std::uint16_t word, unsigned byteOffset, std::uint8_t b) {
    if (byteOffset % 2) return std::uint16_t((word & 0x00FF) | (b << 8));
    return std::uint16_t((word & 0xFF00) | b);
}

std::optional<std::uint8_t> StepTxPower(CDeviceCommands& dev, int k, const std::string& text, int delta) {
    const int power = SignedHex(text) - delta;
    if (power < 0 || power >= kTxPowerLimit) return std::nullopt;
    DeviceSequence sequence;
    std::uint32_t alc = 0;
    dev.MacRead(0x13B0, alc);
    const unsigned shift = k == 0 ? 0 : 8;
    alc = (alc & ~(0x3Fu << shift)) | (std::uint32_t(power) << shift);
    dev.MacWrite(0x13B0, alc);
    TxRxRadio().alcRegisterDefault = alc;
    (k == 0 ? State().txPower0 : State().txPower1) = std::uint8_t(power);
    return std::uint8_t(power);
}

void CalibrateTxPower(CDeviceCommands& dev, int k, int channelNumber, const std::string& text) {
    DeviceSequence sequence;
    const unsigned offset = TxPowerEepromOffset(k, channelNumber);
    std::uint16_t word = 0;
    if (dev.EepromRead(std::uint16_t(offset & ~1u), word) != 0) return;
    const int power = SignedHex(text);
    if (power < 0 || power >= kTxPowerLimit) return;
    dev.EepromWrite(std::uint16_t(offset & ~1u), WithEepromByte(word, offset, std::uint8_t(power & 0x3F)));
}

// ---- Frequency offset -------------------------------------------------------

std::optional<std::uint8_t> StepFreqOffset(CDeviceCommands& dev, const std::string& text, int delta) {
    const int current = ByteHex(text);
    const int offset = current + delta;
    // 0xFF is an unprogrammed crystal trim: the spin leaves it alone.
    if (offset < 0 || offset > 255 || current == 0xFF) return std::nullopt;
    DeviceSequence sequence;
    std::uint8_t r12 = 0;
    dev.RfAccess(0, 0, 12, r12);
    r12 = std::uint8_t(offset);
    dev.RfAccess(1, 0, 12, r12);
    State().freqOffset = std::uint8_t(offset);
    return std::uint8_t(offset);
}

void CalibrateFreqOffset(CDeviceCommands& dev, const std::string& text) {
    UpdateEepromWord(dev, 0x3A, 0xFF00, ByteHex(text));
}

// ---- RSSI offsets -----------------------------------------------------------

std::optional<std::int8_t> StepRssiOffset(const std::string& text, int delta) {
    const int offset = SignedHex(text) - delta;
    // Below -128 the byte would wrap to a large positive offset.
    if (offset > 15 || offset < -128) return std::nullopt;
    return std::int8_t(offset);
}

void CalibrateRssiOffset(CDeviceCommands& dev, int path, const std::string& text, bool fiveGhz) {
    const std::uint8_t a = ByteHex(text);
    // Paths 0 and 1 share one word (low and high byte); path 2 has the next one.
    const std::uint16_t word = path == 2 ? (fiveGhz ? 0x4C : 0x48) : (fiveGhz ? 0x4A : 0x46);
    if (path == 1)
        UpdateEepromWord(dev, word, 0x00FF, std::uint16_t(a << 8));
    else
        UpdateEepromWord(dev, word, 0xFF00, a);
}

// ---- Temperature reference ----------------------------------------------------

std::string CalTempQuestion(std::uint8_t reference) {
    return Format("The Calibrated reference temp. = 0x%X\n\nWrite to EEPROM ?", unsigned(reference));
}

void CalibrateTemperature(CDeviceCommands& dev, bool fiveGhz) {
    DeviceSequence sequence;
    SetBbp(dev, 47, 0x80); // sensor to R49
    Sleep(200);
    const std::uint8_t t = Bbp(dev, 49);
    if (ShowMessage(CalTempQuestion(t), MsgIcon::Question, MsgButtons::OkCancel) != MsgResult::Ok) return;
    UpdateEepromWord(dev, fiveGhz ? 0xDC : 0x76, 0x00FF, std::uint16_t(t << 8));
    UpdateEepromWord(dev, 0x36, 0xFFFF, 0x0002); // temperature compensation on
}

// ---- TX IQ compensation ---------------------------------------------------------

const IqTrimInfo& IqTrimOf(IqTrim trim) {
    static const IqTrimInfo kTrims[4] = {
        {-8, 7, 0x28, 0xF0},   // Tx0 gain
        {-8, 7, 0x46, 0xF0},   // Tx1 gain
        {-32, 31, 0x29, 0xC0}, // Tx0 phase
        {-32, 31, 0x47, 0xC0}, // Tx1 phase
    };
    return kTrims[int(trim)];
}

void EnableIqCompensation(CDeviceCommands& dev, bool on) {
    DeviceSequence sequence;
    SetBbp(dev, 158, 3);
    SetBbp(dev, 159, on ? std::uint8_t((Bbp(dev, 159) & 0x0F) | 0x60) : 0);
}

std::optional<std::int8_t> StepIqCompensation(CDeviceCommands& dev, IqTrim trim, const std::string& text,
                                              int delta) {
    const IqTrimInfo& info = IqTrimOf(trim);
    const int value = SignedHex(text) - delta;
    if (value < info.low || value > info.high) return std::nullopt;
    DeviceSequence sequence;
    SetBbp(dev, 158, info.select);
    // A negative value's sign bits stay inside its own field.
    const std::uint8_t field = std::uint8_t(value) & std::uint8_t(~info.keep);
    SetBbp(dev, 159, std::uint8_t((Bbp(dev, 159) & info.keep) | field));
    return std::int8_t(value);
}

std::string IqCalibrateQuestion(std::uint8_t g0, std::uint8_t p0, std::uint8_t g1, std::uint8_t p1) {
    return Format("Tx0Gain = 0x%X,\nTx0Phase = 0x%X\nTx1Gain = 0x%X,\nTx1Phase = 0x%X\n\nWrite to EEPROM ?",
                  unsigned(g0), unsigned(p0), unsigned(g1), unsigned(p1));
}

void CalibrateIqCompensation(CDeviceCommands& dev, const IqTexts& texts, int channelNumber) {
    // The EEPROM keeps negative values in 6-bit form.
    auto value = [](const std::string& text) {
        std::uint8_t v = ByteHex(text);
        return (v & 0x80) ? std::uint8_t(v + 64) : v;
    };
    const std::uint8_t g0 = value(texts.tx0Gain), p0 = value(texts.tx0Phase);
    const std::uint8_t g1 = value(texts.tx1Gain), p1 = value(texts.tx1Phase);
    DeviceSequence sequence;
    if (ShowMessage(IqCalibrateQuestion(g0, p0, g1, p1), MsgIcon::Question, MsgButtons::OkCancel) !=
        MsgResult::Ok)
        return;
    const std::uint16_t tx0 = std::uint16_t(g0 + 256 * p0), tx1 = std::uint16_t(g1 + 256 * p1);
    if (!IsFiveGhzChannel(channelNumber)) {
        dev.EepromWrite(0x130, tx0);
        UpdateEepromWord(dev, 0x132, 0x00FF, std::uint16_t(g1 << 8));
        UpdateEepromWord(dev, 0x134, 0xFF00, p1);
    } else {
        // One word pair per 5 GHz sub-band.
        static const struct {
            int lastChannel;
            std::uint16_t tx0Word, tx1Word;
        } kBands[] = {{64, 0x144, 0x14A}, {138, 0x146, 0x14C}, {165, 0x148, 0x14E}};
        for (const auto& band : kBands)
            if (channelNumber <= band.lastChannel) {
                dev.EepromWrite(band.tx0Word, tx0);
                dev.EepromWrite(band.tx1Word, tx1);
                break;
            }
    }
    dev.EepromWrite(0x13C, 0xEF0F);
}

// ---- RF mismatch self-calibrations ------------------------------------------------

namespace {

struct Pair {
    std::uint8_t data, nextIndex;
};
// After R158 = 3: R159 = data, then R158 = the next index, pair by pair. The
// third pair's data is the gain setting of the path (v).
constexpr Pair kRxMismatch[7] = {{14, 4}, {3, 5}, {0, 6}, {85, 7}, {85, 0}, {131, 0}, {3, 5}};
constexpr Pair kTxMismatch[7] = {{238, 4}, {15, 5}, {0, 6}, {85, 7}, {85, 0}, {133, 0}, {4, 5}};
constexpr std::uint8_t kMismatchPass = 28;

// Writes of the indirect table: R158 = index, R159 = data.
struct Entry {
    std::uint8_t index, data;
};
void WriteEntries(CDeviceCommands& dev, std::initializer_list<Entry> entries) {
    for (const Entry& e : entries) {
        SetBbp(dev, 158, e.index);
        SetBbp(dev, 159, e.data);
    }
}

std::uint8_t ReadEntry(CDeviceCommands& dev, std::uint8_t index) {
    SetBbp(dev, 158, index);
    return Bbp(dev, 159);
}

} // namespace

std::string MismatchText(bool tx, std::uint8_t result) {
    std::string text =
        Format("%s MisMatch Calibration :\n\nBBP R159 = 0x%08X\n", tx ? "RF Tx" : "RF Rx", unsigned(result));
    // Bit 0: VGA gain too low; bit 1: residual DC too high.
    if (result & 1) text += "bit0 = 1, the VGA gain is too low";
    if ((result & 3) == 3) text += "\n";
    if (result & 2) text += "bit1 = 1, the residual DC is too high";
    return text;
}

std::uint8_t RunMismatchCalibration(CDeviceCommands& dev, bool tx) {
    DeviceSequence sequence;
    // A path set up for high gain (R1 / R4 bit 2) calibrates at another level.
    const bool high = Bbp(dev, tx ? 4 : 1) & 0x04;
    const std::uint8_t v = tx ? (high ? 92 : 28) : (high ? 60 : 28);
    SetBbp(dev, 158, 3);
    for (Pair p : tx ? kTxMismatch : kRxMismatch) {
        SetBbp(dev, 159, p.data ? p.data : v);
        SetBbp(dev, 158, p.nextIndex);
    }
    const std::uint8_t r = Bbp(dev, 159);
    if (r != kMismatchPass) ShowMessage(MismatchText(tx, r));
    return r;
}

void RunCompensation(CDeviceCommands& dev) {
    DeviceSequence sequence;
    WriteEntries(dev, {{4, 15}, {4, 3}, {4, 12}});
}

void StartIqCalibration(CDeviceCommands& dev, bool tx) {
    DeviceSequence sequence;
    if (tx)
        WriteEntries(dev, {{0, 133}});
    else
        WriteEntries(dev, {{3, 7}, {0, 131}});
}

void ShowCalibrationResult(CDeviceCommands& dev) {
    DeviceSequence sequence;
    const unsigned txGain = ReadEntry(dev, 44), txPhase = ReadEntry(dev, 45);
    const unsigned rxGain = ReadEntry(dev, 58), rxPhase = ReadEntry(dev, 59);
    ShowMessage(Format("Result : \r\n\r\nTx_gain = 0x%02X\r\nTx_phase = 0x%02X\r\n\r\nRx_gain = 0x%02X\r\n"
                       "Rx_phase = 0x%02X\r\n",
                       txGain, txPhase, rxGain, rxPhase),
                MsgIcon::Information);
}

std::string ReadCalDbgBus(CDeviceCommands& dev) {
    DeviceSequence sequence;
    const unsigned x31 = ReadEntry(dev, 31), x32 = ReadEntry(dev, 32), x33 = ReadEntry(dev, 33);
    return Format("0x%02X%02X%02X", x33, x32, x31);
}

// ---- DPD and busy mode ---------------------------------------------------------------

void DisableDpd(CDeviceCommands& dev) {
    dev.Calibration(kDpdCalibrationItem, kDpdOff);
}

void TriggerDpd(CDeviceCommands& dev, int dacChoice, Dac checked, const std::function<void(Dac)>& applyDac) {
    DeviceSequence sequence;
    applyDac(Dac::Both);
    dev.Calibration(kDpdCalibrationItem, std::uint32_t(dacChoice));
    applyDac(checked);
}

void SetBusyMode(CDeviceCommands& dev, bool on) {
    const std::uint8_t payload[4] = {std::uint8_t(on ? 1 : 0), 0, 0, 0}; // little-endian 32-bit
    dev.BusyMode(sizeof payload, payload);
}

// ---- Register box -----------------------------------------------------------------------

std::optional<std::uint8_t> RegisterBoxAccess(CDeviceCommands& dev, bool rf, bool write, unsigned rfBank,
                                              const std::string& idText, const std::string& valueText) {
    const unsigned reg = unsigned(ParseDecimal(idText)) & 0xFF;
    std::uint8_t value = ByteHex(valueText);
    const int mode = write ? 1 : 0;
    const int failed = rf ? dev.RfAccess(mode, rfBank, reg, value) : dev.BbpAccess(mode, reg, value);
    if (write || failed) return std::nullopt;
    return value;
}

} // namespace vq
