#include "cli/core/cli_ops.h"

#include "base/format.h"
#include "base/services.h"
#include "cli/core/cli.h"
#include "device/device_commands.h"
#include "device/program_state.h"
#include "device/sequence.h"
#include "measure/core/fft_capture.h"
#include "measure/core/ostra.h"
#include "measure/noise/core/noise_sweep.h"
#include "calibration/core/iq_search.h"
#include "registers/core/bbp_files.h"
#include "registers/core/eeprom_logic.h"
#include "registers/core/mac_space.h"
#include "registers/core/rf_files.h"
#include "registers/core/rf_values.h"
#include "txrx/core/capture_run.h"
#include "txrx/core/txrx_control.h"
#include "txrx/core/txrx_radio.h"
#include "txrx/core/txrx_test.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <limits>
#include <vector>

namespace vq::cli {

namespace {

std::string Chomp(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
        s.pop_back();
    return s;
}

void EmitLine(Context& c, const char* command, const std::string& line) {
    const std::string text = Chomp(line);
    c.out.Emit(command, text, {{"line", text}});
}

std::string Normalised(const std::string& name) {
    std::string s;
    for (char ch : name)
        if (ch != ' ' && ch != '-' && ch != '_') s += char(std::toupper(static_cast<unsigned char>(ch)));
    return s;
}

// The radio settings record of this session, as the TX/RX page keeps its controls.
TxRxRadioSettings& Radio() {
    static TxRxRadioSettings settings;
    return settings;
}

} // namespace

// ---- MAC --------------------------------------------------------------------------

int MacReadOp(Context& c, std::uint32_t address, std::uint32_t count) {
    DeviceSequence sequence;
    CDeviceCommands dev;
    auto print = [&](std::uint32_t a, std::uint32_t v) {
        c.out.Emit("mac read", Format("0x%08X: 0x%08X", a, v), {{"address", HexText(a, 8)}, {"value", HexText(v, 8)}});
    };
    if (count == 1) {
        std::uint32_t v = 0;
        if (dev.MacRead(address, v) != 0) return kExitBoardFailed;
        print(address, v);
        return kExitOk;
    }
    // The MAC page's chunk: 1024 bytes a request.
    constexpr std::uint32_t kChunkWords = kMacChunkBytes / 4;
    std::vector<std::uint32_t> words(kChunkWords);
    for (std::uint32_t done = 0; done < count;) {
        if (StopRequested()) return kExitOk;
        const std::uint32_t n = std::min(kChunkWords, count - done);
        const std::uint32_t a = address + 4 * done;
        if (dev.MacMultiRead(a, words.data(), 4 * n) != int(n)) return kExitBoardFailed;
        for (std::uint32_t i = 0; i < n; ++i)
            print(a + 4 * i, words[i]);
        done += n;
    }
    return kExitOk;
}

int MacWriteOp(Context& c, std::uint32_t address, std::uint32_t value) {
    CDeviceCommands dev;
    if (dev.MacWrite(address, value) != 0) return kExitBoardFailed;
    c.out.Emit("mac write", Format("0x%08X: 0x%08X written", address, value),
               {{"address", HexText(address, 8)}, {"value", HexText(value, 8)}, {"written", true}});
    return kExitOk;
}

int MacRegionIndex(const std::string& name) {
    const std::string wanted = Normalised(name);
    for (int i = 0; i < kMacRegionCount; ++i)
        if (Normalised(kMacRegions[i].name) == wanted) return i;
    return -1;
}

std::string MacRegionNames() {
    std::string s;
    for (int i = 0; i < kMacRegionCount; ++i)
        s += std::string(i ? ", \"" : "\"") + kMacRegions[i].name + "\"";
    return s;
}

int MacLoadRegionOp(Context& c, int region, const std::string& path) {
    DeviceSequence sequence;
    CDeviceCommands dev;
    MacSpace space;
    if (!space.HasBuffers()) return kExitBoardFailed;
    space.SelectRegion(region);
    if (!space.WriteContentFile(dev, path)) return kExitBoardFailed;
    c.out.Emit("mac load-region",
               Format("%s: %u bytes written from %s", kMacRegions[region].name, unsigned(space.WrittenBytes()),
                      path.c_str()),
               {{"region", kMacRegions[region].name}, {"bytes", unsigned(space.WrittenBytes())}, {"file", path}});
    return kExitOk;
}

int MacSaveRegionOp(Context& c, int region, const std::string& path) {
    DeviceSequence sequence;
    CDeviceCommands dev;
    MacSpace space;
    if (!space.HasBuffers()) return kExitBoardFailed;
    space.SelectRegion(region);
    space.ReadRegion(dev);
    // A region that did not read completely is not saved: its file would hold zeros.
    if (c.boardFailed && c.boardFailed()) {
        c.err << "vq9447-cli: " << path << " was not written: the region could not be read\n";
        return kExitBoardFailed;
    }
    if (!space.SaveContentFile(path)) return kExitBoardFailed;
    c.out.Emit("mac save-region",
               Format("%s: %u bytes saved to %s", kMacRegions[region].name, unsigned(space.RegionLength()),
                      path.c_str()),
               {{"region", kMacRegions[region].name}, {"bytes", unsigned(space.RegionLength())}, {"file", path}});
    return kExitOk;
}

// ---- BBP and RF -------------------------------------------------------------------

int BbpReadOp(Context& c, unsigned reg) {
    CDeviceCommands dev;
    std::uint8_t v = 0;
    if (dev.BbpAccess(0, reg, v) != 0) return kExitBoardFailed;
    c.out.Emit("bbp read", Format("R%u: 0x%02X", reg, v), {{"register", reg}, {"value", HexText(v, 2)}});
    return kExitOk;
}

int BbpWriteOp(Context& c, unsigned reg, std::uint8_t value) {
    DeviceSequence sequence;
    CDeviceCommands dev;
    if (dev.BbpAccess(1, reg, value) != 0) return kExitBoardFailed;
    c.out.Emit("bbp write", Format("R%u: 0x%02X written", reg, value),
               {{"register", reg}, {"value", HexText(value, 2)}, {"written", true}});
    return kExitOk;
}

int RfReadOp(Context& c, int bank, int reg) {
    CDeviceCommands dev;
    std::uint8_t v = 0;
    if (dev.RfAccess(0, unsigned(bank), unsigned(reg), v) != 0) return kExitBoardFailed;
    c.out.Emit("rf read", Chomp(rf::RegisterFileLine(bank, reg, v)),
               {{"bank", bank}, {"register", reg}, {"value", HexText(v, 2)}});
    return kExitOk;
}

int RfWriteOp(Context& c, int bank, int reg, std::uint8_t value) {
    CDeviceCommands dev;
    if (dev.RfAccess(1, unsigned(bank), unsigned(reg), value) != 0) return kExitBoardFailed;
    c.out.Emit("rf write", Chomp(rf::RegisterFileLine(bank, reg, value)) + " written",
               {{"bank", bank}, {"register", reg}, {"value", HexText(value, 2)}, {"written", true}});
    return kExitOk;
}

int RfDumpOp(Context& c) {
    DeviceSequence sequence;
    CDeviceCommands dev;
    constexpr int kBanks = 16, kRegisters = 64;
    for (int bank = 0; bank < kBanks; ++bank) {
        if (StopRequested()) return kExitOk;
        std::uint8_t bytes[kRegisters] = {};
        if (dev.RfReadBulk(std::uint16_t(bank), bytes, kRegisters) != 0) return kExitBoardFailed;
        for (int reg = 0; reg < kRegisters; ++reg)
            c.out.Emit("rf dump", Chomp(rf::RegisterFileLine(bank, reg, bytes[reg])),
                       {{"bank", bank}, {"register", reg}, {"value", HexText(bytes[reg], 2)}});
    }
    return kExitOk;
}

// ---- Scripts and register files ---------------------------------------------------

int ScriptOp(Context& c, RegisterKind kind, const std::string& path) {
    CDeviceCommands dev;
    bool opened = false;
    switch (kind) {
    case RegisterKind::Mac: {
        MacSpace space;
        opened = space.RunScript(dev, path, [&](const std::string& line) { EmitLine(c, "script", line); });
        break;
    }
    case RegisterKind::Bbp: {
        std::vector<std::string> log;
        opened = bbp::RunScript(dev, path, log);
        for (const std::string& line : log)
            EmitLine(c, "script", line);
        break;
    }
    case RegisterKind::Rf: {
        struct Log : rf::IScriptLog {
            Context& c;
            explicit Log(Context& ctx) : c(ctx) {}
            void Clear() override {}
            void Add(const std::string& text) override { EmitLine(c, "script", text); }
        } log(c);
        opened = rf::RunRfScript(dev, path, log);
        break;
    }
    }
    return opened ? kExitOk : kExitBoardFailed;
}

int RegfileOp(Context& c, RegisterKind kind, bool load, const std::string& path) {
    CDeviceCommands dev;
    RunnerSummary summary;
    bool ok = false;
    if (load) {
        switch (kind) {
        case RegisterKind::Mac: {
            MacSpace space;
            ok = space.RunRegisterFile(dev, path, [](int) {}, &summary);
            break;
        }
        case RegisterKind::Bbp: ok = bbp::LoadRegisterFile(dev, path, &summary); break;
        case RegisterKind::Rf: ok = rf::LoadRfRegisters(dev, path, &summary); break;
        }
        if (!ok) return kExitBoardFailed;
        c.out.Emit("regfile", summary.Text(),
                   {{"file", path},
                    {"applied", summary.AppliedLines()},
                    {"skipped", summary.SkippedLines()},
                    {"first_skipped_line", summary.FirstSkippedLine()},
                    {"first_reason", summary.FirstReason()}});
        return kExitOk;
    }
    ok = kind == RegisterKind::Bbp ? bbp::SaveRegisterFile(dev, path) : rf::SaveRfRegisters(dev, path);
    if (!ok) return kExitBoardFailed;
    c.out.Emit("regfile", "saved " + path, {{"file", path}, {"saved", true}});
    return kExitOk;
}

// ---- EEPROM -----------------------------------------------------------------------

namespace {
struct EepromLogic {
    std::array<std::uint8_t, kImageSize> image{};
    EepromPageLogic logic;
    EepromLogic() { logic.image = image.data(); }
};
} // namespace

int EepromReadOp(Context& c, int offset, int length) {
    EepromLogic e;
    if (!e.logic.ReadContent(offset, length)) return kExitBoardFailed;
    for (int line = offset; line < offset + length; line += 16) {
        std::string text = Format("0x%04X:", unsigned(line)), data;
        for (int i = line; i < std::min(line + 16, offset + length); ++i) {
            text += Format(" %02X", e.image[std::size_t(i)]);
            data += Format("%02X", e.image[std::size_t(i)]);
        }
        c.out.Emit("eeprom read", text, {{"offset", HexText(unsigned(line), 4)}, {"data", data}});
    }
    return kExitOk;
}

int EepromSaveOp(Context& c, const std::string& path) {
    EepromLogic e;
    if (!e.logic.SaveFile(path)) return kExitBoardFailed;
    c.out.Emit("eeprom save", "saved " + path, {{"file", path}, {"bytes", kContentSize}});
    return kExitOk;
}

int EepromLoadOp(Context& c, const std::string& path) {
    EepromLogic e;
    e.logic.LoadFile(path);
    if (c.boardFailed && c.boardFailed()) return kExitBoardFailed;
    c.out.Emit("eeprom load", "loaded " + path, {{"file", path}});
    return kExitOk;
}

int EepromWriteWordOp(Context& c, std::uint16_t offset, std::uint16_t value) {
    DeviceSequence sequence;
    CDeviceCommands dev;
    if (dev.EepromWrite(offset, value) != 0) return kExitBoardFailed;
    c.out.Emit("eeprom write-word", Format("0x%04X: 0x%04X written", offset, value),
               {{"offset", HexText(offset, 4)}, {"value", HexText(value, 4)}, {"written", true}});
    return kExitOk;
}

int EepromSetMacOp(Context& c, int which, const std::string& digits) {
    static const char* const kNames[3] = {"mac", "lan", "wan"};
    EepromLogic e;
    e.logic.macTexts[std::size_t(which)] = digits;
    if (!e.logic.SetMacAddress(which)) return kExitBoardFailed;
    if (c.boardFailed && c.boardFailed()) return kExitBoardFailed;
    c.out.Emit("eeprom set-mac", Format("%s address %s written", kNames[which], digits.c_str()),
               {{"field", kNames[which]}, {"address", digits}, {"written", true}});
    return kExitOk;
}

// ---- TX/RX ------------------------------------------------------------------------

int ModeFromText(const std::string& text) {
    const std::string t = Normalised(text);
    if (t == "CCK" || t == "0") return kModeCck;
    if (t == "OFDM" || t == "1") return kModeOfdm;
    if (t == "HTMIX" || t == "HTMIXED" || t == "2") return kModeHtMix;
    if (t == "HTGF" || t == "HTGREENFIELD" || t == "GREENFIELD" || t == "3") return kModeHtGreen;
    return -1;
}

unsigned RateCount(int mode) {
    return unsigned(RateLabels(mode).size());
}

std::string RateListText() {
    static const char* const kModes[4] = {"CCK", "OFDM", "HTMIX", "HTGF"};
    std::string s;
    for (int m = 0; m < 4; ++m) {
        s += Format("    %s:", kModes[m]);
        const auto& labels = RateLabels(m);
        for (std::size_t i = 0; i < labels.size(); ++i)
            s += Format(" %u=\"%s\"", unsigned(i), labels[i].c_str());
        s += "\n";
    }
    return s;
}

namespace {

std::string Trimmed(const std::string& t) {
    const auto b = t.find_first_not_of(' '), e = t.find_last_not_of(' ');
    return b == std::string::npos ? std::string() : t.substr(b, e - b + 1);
}

bool InitialiseTxRx(Context& c) {
    TxRxRadioSettings& s = Radio();
    s = TxRxRadioSettings{};
    TxRxRadio().InitializePage(s);
    c.txrxInitialised = true;
    return !(c.boardFailed && c.boardFailed());
}

// The counter texts of a poll as named fields.
struct CounterName {
    int id;
    const char* key;
};
constexpr CounterName kCounterNames[] = {
    {ctl::Transmitted, "transmitted"}, {ctl::FcsError, "fcs_error"},   {ctl::RxOverflow, "rx_overflow"},
    {ctl::PhyError, "phy_error"},      {ctl::FalseCca, "false_cca"},   {ctl::U2mData, "u2m_data"},
    {ctl::OtherData, "other_data"},    {ctl::Beacon, "beacon"},        {ctl::OtherMgmt, "other_mgmt"},
    {ctl::Fer, "fer"},                 {ctl::Rssi0, "rssi0"},          {ctl::Rssi1, "rssi1"},
    {ctl::Rssi2, "rssi2"},             {ctl::Snr0, "snr0"},            {ctl::Snr1, "snr1"},
    {ctl::FreqDeviation, "freq_deviation"},
};

// Counter texts as numbers: "12" -> key 12, "3 / 40" -> key 3 and key_total 40,
// "1.25%" -> key 1.25; anything else stays text.
void AddCounterFields(std::vector<Field>& fields, const std::string& key, const std::string& text) {
    long long a = 0, b = 0;
    double d = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "%lld / %lld%n", &a, &b, &used) == 2 && used == int(text.size())) {
        fields.emplace_back(key, a);
        fields.emplace_back(key + "_total", b);
    } else if (std::sscanf(text.c_str(), "%lld%n", &a, &used) == 1 && used == int(text.size())) {
        fields.emplace_back(key, a);
    } else if (std::sscanf(text.c_str(), "%lf%%%n", &d, &used) == 1 && used == int(text.size())) {
        fields.emplace_back(key, d);
    } else {
        fields.emplace_back(key, text);
    }
}

void EmitCounters(Context& c, const char* command, const ControlTexts& texts, std::vector<Field> fields) {
    std::string line;
    for (const Field& f : fields)
        if (const auto* v = std::get_if<long long>(&f.value)) line += Format("%s %lld  ", f.key.c_str(), *v);
    for (const CounterName& n : kCounterNames) {
        for (const auto& [id, text] : texts) {
            if (id != n.id) continue;
            AddCounterFields(fields, n.key, text);
            line += Format("%s %s  ", n.key, text.c_str());
            break;
        }
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    c.out.Emit(command, line, fields);
}

} // namespace

int TxRxInitOp(Context& c) {
    if (!InitialiseTxRx(c)) return kExitBoardFailed;
    const TxRxRadioSettings& s = Radio();
    const ProgramState& st = State();
    const std::string chip = s.chipInfo.value_or(""), mac = s.macAddress.value_or("");
    c.out.Emit("txrx init",
               Format("initialised: channel %d, mode %s, rate %s, bandwidth %s; %s; MAC %s; TX power %s/%s; "
                      "frequency offset %s",
                      ChannelNumberOf(st.channelIndex), Trimmed(ModeLabels()[std::size_t(st.phyMode)]).c_str(),
                      RateLabels(st.phyMode)[std::size_t(st.rateIndex)].c_str(),
                      BandwidthLabels()[std::size_t(st.bandwidthIndex)].c_str(), chip.c_str(), mac.c_str(),
                      s.txPower0.value_or("").c_str(), s.txPower1.value_or("").c_str(),
                      s.freqOffset.value_or("").c_str()),
               {{"channel", ChannelNumberOf(st.channelIndex)},
                {"mode", Trimmed(ModeLabels()[std::size_t(st.phyMode)])},
                {"rate", RateLabels(st.phyMode)[std::size_t(st.rateIndex)]},
                {"bandwidth", BandwidthLabels()[std::size_t(st.bandwidthIndex)]},
                {"chip", chip},
                {"mac_address", mac},
                {"tx_power0", s.txPower0.value_or("")},
                {"tx_power1", s.txPower1.value_or("")},
                {"freq_offset", s.freqOffset.value_or("")},
                {"rx_paths", st.RxPathCount()},
                {"tx_paths", st.TxPathCount()}});
    return kExitOk;
}

int TxOp(Context& c, const TxRequest& r) {
    if (!c.txrxInitialised && !InitialiseTxRx(c)) return kExitBoardFailed;
    TxRxRadioSettings& s = Radio();
    CTxRxRadio& radio = TxRxRadio();
    ProgramState& st = State();
    CDeviceCommands dev;
    {
        DeviceSequence sequence;
        s.channel = r.channel - 1;
        radio.ApplyChannel(s);
        s.mode = r.mode;
        radio.ApplyMode(s);
        st.rateIndex = r.rate;
        s.rate = r.rate;
        if (IsHtMode(r.mode) && r.rate > 7) {
            // Two spatial streams need both DACs.
            s.dac = Dac::Both;
            radio.ApplyDacChoice(s);
        }
        s.bandwidth = r.bandwidth;
        radio.ApplyBandwidth(s);
        if (r.power >= 0) {
            std::uint32_t reg = 0;
            // The register also holds the other path's trim: write only what was read.
            if (dev.MacRead(rf::kTxPowerRegister, reg) != 0) return kExitBoardFailed;
            dev.MacWrite(rf::kTxPowerRegister, rf::WithTxPower(reg, 0, std::uint8_t(r.power)));
            st.txPower0 = std::uint8_t(r.power);
        }
    }
    if (c.boardFailed && c.boardFailed()) return kExitBoardFailed;

    TxFrameInputs in;
    in.mode = st.phyMode;
    in.rateIndex = st.rateIndex;
    in.bandwidth = st.bandwidthIndex;
    in.repeat = Format("%u", unsigned(r.count));
    in.sgiEnabled = s.sgiEnabled.value_or(false);
    in.stbcEnabled = s.stbcEnabled.value_or(false);
    in.ipgEnabled = s.ipgEnabled.value_or(true);
    const TxDescriptorValues descriptor;
    StartTxPayload payload;
    {
        DeviceSequence sequence;
        const int type = PrepareCountedTx(dev, in, descriptor, payload);
        if (type == kFrameBeacon || type == kBuildRefused) return kExitBoardFailed;
        SendCountedTx(dev, payload, false, false);
    }
    if (c.boardFailed && c.boardFailed()) return kExitBoardFailed;

    // The board stops by itself after the count; poll until it has.
    CounterState counters;
    PollOutput last;
    std::uint32_t seen = 0;
    int idlePolls = 0;
    constexpr unsigned kPollMs = 100;
    constexpr int kIdleLimit = 50; // 5 s without a frame more
    for (;;) {
        last = PollBoardCounters(dev, false, counters, TxEnv());
        if (c.boardFailed && c.boardFailed()) return kExitBoardFailed;
        if (last.transmitted >= r.count) break;
        if (StopRequested()) {
            StopCountedTx(dev, false, false);
            EndCountedTx(dev);
            return kExitOk;
        }
        idlePolls = last.transmitted == seen ? idlePolls + 1 : 0;
        seen = last.transmitted;
        if (idlePolls >= kIdleLimit) {
            c.err << Format("vq9447-cli: the board stopped transmitting at %u of %u frames\n",
                            unsigned(last.transmitted), unsigned(r.count));
            StopCountedTx(dev, false, false);
            EndCountedTx(dev);
            return kExitBoardFailed;
        }
        Sleep(kPollMs);
    }
    EndCountedTx(dev);
    EmitCounters(c, "tx", last.texts,
                 {{"channel", r.channel}, {"count", static_cast<long long>(r.count)}});
    return kExitOk;
}

namespace {
// Receiver on or off as the TX/RX page's "Start RX" toggles it.
void SetReceiving(CDeviceCommands& dev, bool on) {
    DeviceSequence sequence;
    std::uint32_t v = 0;
    dev.MacRead(0x1004, v);
    dev.MacWrite(0x1004, on ? (v | 0x8) : (v & ~0x8u));
    if (on)
        dev.StartRx();
    else
        dev.StopRx();
}
} // namespace

int RxOp(Context& c, int seconds) {
    if (!c.txrxInitialised && !InitialiseTxRx(c)) return kExitBoardFailed;
    CDeviceCommands dev;
    CounterState counters;
    counters.ZeroAccumulators();
    SetReceiving(dev, true);
    int status = kExitOk;
    const std::string offsets[3] = {"0", "0", "0"};
    for (int second = 1; second <= seconds && !StopRequested(); ++second) {
        Sleep(1000);
        if (StopRequested()) break;
        PollOutput out = PollBoardCounters(dev, true, counters, TxEnv());
        const ControlTexts quality = SignalQualityTexts(dev, counters, offsets);
        out.texts.insert(out.texts.end(), quality.begin(), quality.end());
        if (c.boardFailed && c.boardFailed()) {
            status = kExitBoardFailed;
            break;
        }
        EmitCounters(c, "rx", out.texts, {{"second", second}});
    }
    SetReceiving(dev, false);
    return status;
}

// ---- Captures ---------------------------------------------------------------------

int CaptureOp(Context& c, const CaptureRequestArgs& r) {
    CaptureSettings s;
    s.autoTrigger = !r.manual;
    s.adcMode = !r.feq;
    s.adc6 = r.adc6;
    s.txSide = r.tx;
    s.triggerOffset = r.offset;
    s.captureTimes = r.times;
    const std::vector<std::string> paths = CaptureFileNames(r.file, r.times);
    CDeviceCommands dev;
    if (!RunCaptures(dev, s, paths)) return kExitBoardFailed;
    if (c.boardFailed && c.boardFailed()) return kExitBoardFailed;
    for (const std::string& p : paths)
        c.out.Emit("capture", "saved " + p, {{"file", p}});
    return kExitOk;
}

int FftOp(Context& c, const FftRequestArgs& r) {
    CDeviceCommands dev;
    const CaptureResult capture = RunCaptureCycle(dev, CaptureRequest{});
    if (c.boardFailed && c.boardFailed()) return kExitBoardFailed;
    const SpectrumResult spectrum = ProcessSpectrum(capture.words, r.bandwidth, false);
    // The RX EVM figure when libOstra.so is there, as the page shows it.
    double evm = std::numeric_limits<double>::quiet_NaN();
    bool haveEvm = false;
    {
        OstraLibrary library;
        if (library.Load()) {
            std::vector<std::int32_t> i, q;
            EvmInput(capture.words, i, q);
            evm = library.RxEvm()(i.data(), q.data());
            haveEvm = true;
        }
    }
    if (r.spectrum)
        for (int n = 0; n < int(spectrum.points.size()) && n < 512; ++n)
            c.out.Emit("fft", Format("%.6f\t%.3f", spectrum.points[std::size_t(n)].x, spectrum.points[std::size_t(n)].y),
                       {{"mhz", spectrum.points[std::size_t(n)].x}, {"db", spectrum.points[std::size_t(n)].y}});
    if (!r.adcFile.empty() && !SaveAdcFile(r.adcFile, capture.words)) return kExitBoardFailed;
    std::vector<Field> fields = {{"noise_figure_db", spectrum.noiseFigure},
                                 {"triggered", capture.triggered},
                                 {"end", HexText(capture.end, 4)}};
    std::string text = "noise figure " + NoiseFigureText(spectrum.noiseFigure);
    if (haveEvm) {
        fields.emplace_back("rx_evm_db", evm);
        text += ", RX EVM " + EvmText(evm);
    } else {
        text += ", RX EVM not measured (libOstra.so not found)";
    }
    if (!capture.triggered) text += " (no trigger: the memory was read as it was)";
    c.out.Emit("fft", text, fields);
    return kExitOk;
}

// ---- Noise level and IQ calibration ------------------------------------------------


int NoiseOp(Context& c) {
    if (!c.txrxInitialised && !InitialiseTxRx(c)) return kExitBoardFailed;
    CDeviceCommands dev;
    bool receiving = false;
    noise::SweepHooks hooks;
    hooks.selectChannel = [&](int index) {
        Radio().channel = index;
        TxRxRadio().ApplyChannel(Radio());
    };
    hooks.toggleReceive = [&] {
        receiving = !receiving;
        SetReceiving(dev, receiving);
    };
    hooks.result = [&](int index, int path, int dbm) {
        const int channel = ChannelNumberOf(index);
        c.out.Emit("noise", Format("channel %d %s %d dBm", channel, noise::kRowLabels[path], dbm),
                   {{"channel", channel}, {"path", path}, {"dbm", dbm}});
    };
    const bool ok = noise::RunSweep(dev, noise::Band::Ghz24, hooks);
    if (receiving) SetReceiving(dev, false);
    return ok && !(c.boardFailed && c.boardFailed()) ? kExitOk : kExitBoardFailed;
}

int IqCalOp(Context& c, const IqCalArgs& r) {
    CDeviceCommands dev;
    IqCalibration cal;
    cal.logDirectory = r.logDirectory;
    cal.SaveRegisters(dev);
    IqSettings s;
    s.alc = r.alc;
    s.rfVga = r.vga;
    std::vector<IqNote> notes;
    const auto progress = [&](const IqProgress& p) {
        for (const std::string& line : p.lines)
            EmitLine(c, "iqcal", line);
        return !StopRequested();
    };
    GridResult g;
    const char* name = "Full LOFT";
    switch (r.search) {
    case IqCalArgs::Search::Loft: g = cal.FullLoft(dev, s, notes, progress); break;
    case IqCalArgs::Search::TxIq: g = cal.FullTxIq(dev, s, notes, progress), name = "Full IQ"; break;
    case IqCalArgs::Search::RxIq: g = cal.FullRxIq(dev, s, notes, progress), name = "Rx0 IQ"; break;
    }
    for (const IqNote& n : notes)
        c.err << n.text << "\n";
    if (!g.ran) return kExitBoardFailed;
    c.out.Emit("iqcal",
               Format("%s: minimum %.3f dB at positions %d, %d after %d points%s", name, g.minimum, g.first,
                      g.second, g.points, g.complete ? "" : " (not complete)"),
               {{"search", name}, {"minimum_db", g.minimum}, {"first", g.first}, {"second", g.second},
                {"points", g.points}, {"complete", g.complete}});
    return g.complete && !(c.boardFailed && c.boardFailed()) ? kExitOk : kExitBoardFailed;
}

} // namespace vq::cli
