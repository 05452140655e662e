#include "calibration/core/iq_search.h"

#include "base/format.h"
#include "base/services.h"
#include "device/sequence.h"
#include "formats/saved_file.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace vq {

namespace {

constexpr std::uint8_t kIndexReg = 158; // indirect baseband table: index in R158, data in R159

template <std::size_t N> std::array<std::uint8_t, N> Run6Bit(int first) {
    std::array<std::uint8_t, N> t{};
    for (std::size_t i = 0; i < N; ++i)
        t[i] = std::uint8_t((first + int(i)) & 0x3F);
    return t;
}

void Ind(CDeviceCommands& dev, std::uint8_t index, std::uint8_t value) {
    dev.SetIndirectBbp(kIndexReg, index, value);
}

void MacUpdate(CDeviceCommands& dev, std::uint32_t address, std::uint32_t clear, std::uint32_t set) {
    std::uint32_t v = 0;
    dev.MacRead(address, v);
    dev.MacWrite(address, (v & ~clear) | set);
}

// Set-up of a LOFT point: the engine's measurement window and the ALC gain.
void LoftPointSetup(CDeviceCommands& dev, int alc) {
    dev.SetBbp(23, kAlcR23[alc]);
    const std::pair<std::uint8_t, std::uint8_t> writes[] = {{0xAA, 0x00}, {0xAB, 0x0A}, {0xAC, 0x3F}, {0xAD, 0x3F},
                                                            {0xAA, 0x01}, {0xAB, 0x00}, {0xAC, 0x00}, {0xAD, 0x00}};
    for (auto [i, v] : writes)
        Ind(dev, i, v);
    dev.SetBbp(244, 0x40);
}

void IqWindowSetup(CDeviceCommands& dev, int alc) {
    dev.SetBbp(23, kAlcR23[alc]);
    Ind(dev, 0xAA, 0x00);
    Ind(dev, 0xAB, 0x0A);
    Ind(dev, 0xAC, 0x3F);
    Ind(dev, 0xAD, 0x3F);
}

void RxPointSetup(CDeviceCommands& dev, int alc) {
    IqWindowSetup(dev, alc);
    dev.SetBbp(244, 0x40);
}

void TxIqPointSetup(CDeviceCommands& dev, const IqSettings& s) {
    IqWindowSetup(dev, s.alc);
    Ind(dev, 0xB0, kAlcB0[s.alc]);
    Ind(dev, s.tx1 ? 0xB8 : 0xB1, std::uint8_t(s.ac));
    Ind(dev, s.tx1 ? 0xB9 : 0xB2, std::uint8_t(s.ad));
    Ind(dev, 0x03, 0xFF);
    Ind(dev, 0x04, 0x00);
    Ind(dev, 0x28, 0x00);
    Ind(dev, 0x29, 0x00);
    dev.SetBbp(244, 0x40);
}

// The receiver's loop: the transmitter's test tone routed back into the RX chain.
void RxLoopSetup(CDeviceCommands& dev) {
    dev.MacWrite(0x1328, 0x000C0020);
    dev.MacWrite(0x101C, 0x000A1580);
    dev.MacWrite(0x101C, 0x000A1F40);
    dev.SetRf(0, 1, 0x41);
    dev.SetRf(4, 11, 0x23);
    dev.SetRf(4, 13, 0xFD);
    dev.SetRf(4, 21, 0x13);
    dev.SetRf(4, 22, 0x80);
    dev.SetRf(5, 17, 0x80);
    dev.SetRf(5, 18, 0xF1);
    dev.SetRf(5, 19, 0xA1);
    dev.SetRf(5, 20, 0x01);
}

void RxFixedCompensation(CDeviceCommands& dev) {
    Ind(dev, 0xB0, 0x80);
    Ind(dev, 0xB1, 0x12);
    Ind(dev, 0xB2, 0x04);
    Ind(dev, 0x03, 0xFF);
    Ind(dev, 0x28, 0x00);
    Ind(dev, 0x29, 0x02);
}

// A search's names: log file, the name a failure shows, and its texts.
struct AxisNames {
    const char* stage;
    const char* file;
    const char* failure;
    const char* done; // information box at the end (null: none)
};

} // namespace

// The log file of one search: the lines go to the file as the points are
// measured, and to the progress report as the ones not yet reported.
struct IqCalibration::Log {
    explicit Log(const std::string& path) : file(path) {}
    SavedFile file;
    std::vector<std::string> pending;
    void Line(const std::string& text) {
        file.Put(text);
        pending.push_back(text);
    }
};

const std::array<std::uint8_t, 47>& LoftTable() {
    static const auto t = Run6Bit<47>(-16);
    return t;
}

const std::array<std::uint8_t, 16>& IqTableA() {
    static const std::array<std::uint8_t, 16> t = [] {
        std::array<std::uint8_t, 16> a{};
        for (int i = 0; i < 16; ++i)
            a[i] = std::uint8_t((i - 7) & 0x0F);
        return a;
    }();
    return t;
}

const std::array<std::uint8_t, 33>& IqTableB() {
    static const std::array<std::uint8_t, 33> t = [] {
        std::array<std::uint8_t, 33> a{};
        for (int i = 0; i < 32; ++i)
            a[i] = std::uint8_t((i - 16) & 0x3F);
        a[32] = 0x00;
        return a;
    }();
    return t;
}

int SignedReading17(std::uint32_t raw) {
    int v = int(raw & 0x1FFFF);
    if (v > 0xFFFF) v -= 0x20000;
    return v;
}

double PowerDb(int yi, int yq) {
    const std::int64_t sum = std::int64_t(yi) * yi + std::int64_t(yq) * yq;
    return 10.0 * std::log10(double(sum));
}

std::vector<int> AxisPositions(int first, int last, int step) {
    std::vector<int> out;
    for (int p = first; p <= last; p += step)
        out.push_back(p);
    return out;
}

std::pair<int, int> WindowRange(int centre, int window, int maxPosition) {
    return {std::max(0, centre - window), std::min(centre + window, maxPosition)};
}

std::vector<std::pair<int, int>> GridPositions(std::pair<int, int> a, std::pair<int, int> b) {
    std::vector<std::pair<int, int>> out;
    for (int i = a.first; i <= a.second; ++i)
        for (int j = b.first; j <= b.second; ++j)
            out.emplace_back(i, j);
    return out;
}

bool MinimumRule::Offer(double ypwr, int a, int b) {
    if (!(ypwr < minimum)) return false;
    minimum = ypwr;
    first = a;
    second = b;
    return true;
}

std::pair<int, int> LoftWindows(const AxisResult& ac, const AxisResult& ad) {
    // A steep AC edge with AD the weaker axis: AC is taken as found and AD
    // gets the wide scan (narrower when AD was steep too).
    if (ad.minimum > ac.minimum && ac.steep == 1) return {0, ad.steep == 1 ? 3 : 30};
    return {1, 5};
}

std::pair<int, int> TxIqWindows(const AxisResult& r28, const AxisResult& r29) {
    return r29.minimum > r28.minimum ? std::pair{1, 2} : std::pair{2, 1};
}

std::pair<int, int> RxIqWindows(const AxisResult& r37, const AxisResult& r35) {
    return r35.minimum > r37.minimum ? std::pair{1, 8} : std::pair{8, 1};
}

std::string IqCalibration::AlcRefusal() {
    return "RF ALC must be 0 to 3.";
}

std::string IqCalibration::OpenFailureText(const std::string& name) {
    return "Can't Open File \"" + name + "\"";
}

std::string IqCalibration::PathOf(const std::string& name) const {
    if (logDirectory.empty()) return name;
    return logDirectory + "/" + name;
}

void IqCalibration::SaveRegisters(CDeviceCommands& dev) {
    DeviceSequence sequence;
    for (std::size_t i = 0; i < kSavedBbpRegisters.size(); ++i)
        saved_[i] = dev.BbpValue(kSavedBbpRegisters[i]);
}

void IqCalibration::Reset(CDeviceCommands& dev) const {
    DeviceSequence sequence;
    MacUpdate(dev, 0x1004, 0, 0x2);
    Sleep(100);
    MacUpdate(dev, 0x1004, 0x2, 0);
    for (std::size_t i = 0; i < kSavedBbpRegisters.size(); ++i)
        dev.SetBbp(kSavedBbpRegisters[i], saved_[i]);
}

void IqCalibration::MeasurementStartTx(CDeviceCommands& dev) {
    DeviceSequence sequence;
    dev.MacWrite(0x1328, 0x000C0020);
    dev.MacWrite(0x101C, 0x000A1580);
    dev.MacWrite(0x101C, 0x000A1F40);
    Ind(dev, 0x00, 0x9B);
}

int IqCalibration::ReadResult(CDeviceCommands& dev, int index, bool quadrature) {
    DeviceSequence sequence;
    Ind(dev, 0xBA, std::uint8_t(index));
    // The engine hands the result out a byte at a time: selector 2/1/0 for
    // Yi, 5/4/3 for Yq, high byte first; only bit 0 of the high byte counts.
    std::uint8_t bytes[3] = {};
    for (int k = 0; k < 3; ++k) {
        Ind(dev, 0xBB, std::uint8_t((quadrature ? 5 : 2) - k));
        dev.SetBbp(kIndexReg, 0xBC);
        bytes[k] = dev.BbpValue(kIndexReg + 1);
    }
    return SignedReading17(std::uint32_t(bytes[0] & 1) * 65536 + bytes[1] * 256u + bytes[2]);
}

Measurement IqCalibration::ReadMeasurement(CDeviceCommands& dev, int index) {
    Measurement m;
    m.yi = ReadResult(dev, index, false);
    m.yq = ReadResult(dev, index, true);
    m.ypwr = PowerDb(m.yi, m.yq);
    return m;
}

Measurement IqCalibration::Calibrate(CDeviceCommands& dev, int index) {
    DeviceSequence sequence;
    MeasurementStartTx(dev);
    return ReadMeasurement(dev, index);
}

void IqCalibration::AuxLoopback(CDeviceCommands& dev) {
    DeviceSequence sequence;
    const std::array<std::array<std::uint8_t, 3>, 9> writes = {{{0, 1, 0x21},
                                                                {0, 2, 0x10},
                                                                {4, 2, 0x81},
                                                                {4, 34, 0xEE},
                                                                {5, 17, 0x80},
                                                                {5, 18, 0xD7},
                                                                {5, 19, 0xA2},
                                                                {5, 20, 0x20},
                                                                {5, 3, 0x1E}}};
    for (const auto& w : writes)
        dev.SetRf(w[0], w[1], w[2]);
}

void IqCalibration::TxPreparation(CDeviceCommands& dev, const IqSettings& s) const {
    dev.SetRf(5, 3, std::uint8_t(s.rfVga));
    dev.SetRf(5, 20, 0x10);
    dev.SetBbp(27, 0x00);
    dev.SetBbp(66, 0x30);
    dev.SetBbp(27, 0x20);
    dev.SetBbp(66, 0x30);
}

bool IqCalibration::Cancelled(const IqProgressFn& progress, Log& log, const char* stage, int point, int total) {
    bool go = true;
    if (progress) {
        IqProgress p{stage, point, total, std::move(log.pending)};
        go = progress(p);
    }
    log.pending.clear();
    // A board that stopped answering fails every further command at once:
    // the rest of the search would only log zeros.
    return !go || DeviceSequence::BoardStopped();
}

namespace {

std::string PointLine(const char* name, std::uint8_t value, const Measurement& m) {
    return std::string(name) + Format("=0x%02X, Yi= %6d, Yq= %6d, Ypwr= %.2f\n", value, m.yi, m.yq, m.ypwr);
}

std::string GridLine(const char* a, std::uint8_t va, const char* b, std::uint8_t vb, const Measurement& m) {
    return std::string(a) + Format("=0x%02X, ", va) + b +
           Format("=0x%02X, Yi= %6d, Yq= %6d, Ypwr= %.2f\n", vb, m.yi, m.yq, m.ypwr);
}

std::string MinimumLine(const char* name, std::uint8_t value, double minimum) {
    return "\n==Minimum " + std::string(name) + Format("=0x%02X, Ypwr= %.2f\n", value, minimum);
}

std::string GridMinimum(const char* a, std::uint8_t va, const char* b, std::uint8_t vb, double minimum) {
    return std::string(a) + Format("=0x%02X, ", va) + b + Format("=0x%02X, Ypwr= %.2f\n", vb, minimum);
}

std::string CancelledText(const char* stage, int points, int total) {
    return Format("%s stopped after %d of %d points; the log holds the points measured.", stage, points, total);
}

} // namespace

AxisResult IqCalibration::LoftSearch(CDeviceCommands& dev, LoftAxis axis, const IqSettings& s,
                                     std::vector<IqNote>& notes, const IqProgressFn& progress) {
    static const AxisNames kNames[] = {{"LOFT AC", "LOFT_B1.txt", "LOFT_AC.txt", "Cal LOFT_AC Done!"},
                                       {"LOFT AD", "LOFT_B2.txt", "LOFT_AD.txt", "Cal LOFT_AD Done!"}};
    const AxisNames& n = kNames[axis == LoftAxis::AD];
    AxisResult r;
    if (!AlcValid(s.alc)) {
        notes.push_back({AlcRefusal(), true});
        return r;
    }
    Log log(PathOf(n.file));
    if (!log.file.TryOpen()) {
        notes.push_back({OpenFailureText(n.failure), true});
        return r;
    }
    r.ran = true;
    DeviceSequence sequence;
    TxPreparation(dev, s);
    const std::uint8_t swept = axis == LoftAxis::AC ? 0xB1 : 0xB2;
    const std::uint8_t other = axis == LoftAxis::AC ? 0xB2 : 0xB1;
    const auto positions = AxisPositions(0, 46, 2);
    MinimumRule rule;
    double last = 0;
    for (int p : positions) {
        Reset(dev);
        LoftPointSetup(dev, s.alc);
        Ind(dev, 0xB0, kAlcB0[s.alc]);
        Ind(dev, other, 0x00);
        Ind(dev, swept, LoftTable()[p]);
        MeasurementStartTx(dev);
        const Measurement m = ReadMeasurement(dev, kLoftIndex);
        log.Line(PointLine("0xB1", LoftTable()[p], m));
        rule.Offer(m.ypwr, p);
        last = m.ypwr;
        ++r.points;
        if (Cancelled(progress, log, n.stage, r.points, int(positions.size()))) break;
    }
    r.position = rule.first;
    r.minimum = rule.minimum;
    r.complete = r.points == int(positions.size());
    if (r.complete) {
        r.steep = last > rule.minimum + 5.0 ? 1 : 0;
        log.Line(MinimumLine("0xAC", LoftTable()[r.position], r.minimum));
        log.pending.clear();
    }
    log.file.Commit();
    if (r.complete)
        notes.push_back({n.done, false});
    else
        notes.push_back({CancelledText(n.stage, r.points, int(positions.size())), false});
    return r;
}

GridResult IqCalibration::FullLoft(CDeviceCommands& dev, const IqSettings& s, std::vector<IqNote>& notes,
                                   const IqProgressFn& progress) {
    GridResult g;
    if (!AlcValid(s.alc)) {
        notes.push_back({AlcRefusal(), true});
        return g;
    }
    DeviceSequence sequence;
    const AxisResult ac = LoftSearch(dev, LoftAxis::AC, s, notes, progress);
    if (ac.ran && !ac.complete) return g;
    const AxisResult ad = LoftSearch(dev, LoftAxis::AD, s, notes, progress);
    if (ad.ran && !ad.complete) return g;
    Log log(PathOf("LOFT.txt"));
    if (!log.file.TryOpen()) {
        notes.push_back({OpenFailureText("LOFT.txt"), true});
        return g;
    }
    g.ran = true;
    TxPreparation(dev, s);
    const auto [wac, wad] = LoftWindows(ac, ad);
    const auto grid = GridPositions(WindowRange(ac.position, wac, 45), WindowRange(ad.position, wad, 45));
    MinimumRule rule;
    for (auto [pac, pad] : grid) {
        Reset(dev);
        LoftPointSetup(dev, s.alc);
        Ind(dev, 0xB0, kAlcB0[s.alc]);
        Ind(dev, 0xB1, LoftTable()[pac]);
        Ind(dev, 0xB2, LoftTable()[pad]);
        MeasurementStartTx(dev);
        const Measurement m = ReadMeasurement(dev, kLoftIndex);
        log.Line(GridLine("0xB1", LoftTable()[pac], "0xB1", LoftTable()[pad], m));
        rule.Offer(m.ypwr, pac, pad);
        ++g.points;
        if (Cancelled(progress, log, "Full LOFT", g.points, int(grid.size()))) break;
    }
    g.first = rule.first;
    g.second = rule.second;
    g.minimum = rule.minimum;
    g.complete = g.points == int(grid.size());
    const std::uint8_t vac = LoftTable()[g.first], vad = LoftTable()[g.second];
    if (g.complete) log.Line("\n==Minimum " + GridMinimum("0xAC", vac, "0xAD", vad, g.minimum));
    log.file.Commit();
    if (g.complete)
        notes.push_back({"Full LOFT Cal done,Minimum " + GridMinimum("0xAC", vac, "0xAD", vad, g.minimum), false});
    else
        notes.push_back({CancelledText("Full LOFT", g.points, int(grid.size())), false});
    return g;
}

AxisResult IqCalibration::TxIqSearch(CDeviceCommands& dev, TxIqAxis axis, const IqSettings& s,
                                     std::vector<IqNote>& notes, const IqProgressFn& progress) {
    static const AxisNames kNames[] = {{"IQCal 28", "IQ_28.txt", "IQ_28.txt", "Cal LOFT_28 Done!"},
                                       {"IQCal 29", "IQ_29.txt", "IQ_29.txt", "Cal LOFT_29 Done!"}};
    const bool is29 = axis == TxIqAxis::R29;
    const AxisNames& n = kNames[is29];
    AxisResult r;
    if (!AlcValid(s.alc)) {
        notes.push_back({AlcRefusal(), true});
        return r;
    }
    Log log(PathOf(n.file));
    if (!log.file.TryOpen()) {
        notes.push_back({OpenFailureText(n.failure), true});
        return r;
    }
    r.ran = true;
    DeviceSequence sequence;
    TxPreparation(dev, s);
    const char* name = is29 ? "0x29" : "0x28";
    const std::uint8_t swept = is29 ? 0x29 : 0x28;
    Ind(dev, is29 ? 0x28 : 0x29, 0x00);
    const auto positions = is29 ? AxisPositions(0, 32, 2) : AxisPositions(0, 15, 1);
    MinimumRule rule;
    double last = 0;
    auto value = [is29](int p) { return is29 ? IqTableB()[p] : IqTableA()[p]; };
    for (int p : positions) {
        Reset(dev);
        TxIqPointSetup(dev, s);
        Ind(dev, swept, value(p));
        MeasurementStartTx(dev);
        const Measurement m = ReadMeasurement(dev, kTxIqIndex);
        log.Line(PointLine(name, value(p), m));
        rule.Offer(m.ypwr, p);
        last = m.ypwr;
        ++r.points;
        if (Cancelled(progress, log, n.stage, r.points, int(positions.size()))) break;
    }
    r.position = rule.first;
    r.minimum = rule.minimum;
    r.complete = r.points == int(positions.size());
    r.steep = r.complete && last > rule.minimum + 5.0 ? 1 : 0;
    if (r.complete) log.Line(MinimumLine(name, value(r.position), r.minimum));
    log.file.Commit();
    notes.push_back({r.complete ? std::string(n.done) : CancelledText(n.stage, r.points, int(positions.size())),
                     false});
    return r;
}

GridResult IqCalibration::FullTxIq(CDeviceCommands& dev, const IqSettings& s, std::vector<IqNote>& notes,
                                   const IqProgressFn& progress) {
    GridResult g;
    if (!AlcValid(s.alc)) {
        notes.push_back({AlcRefusal(), true});
        return g;
    }
    DeviceSequence sequence;
    const AxisResult r28 = TxIqSearch(dev, TxIqAxis::R28, s, notes, progress);
    if (r28.ran && !r28.complete) return g;
    const AxisResult r29 = TxIqSearch(dev, TxIqAxis::R29, s, notes, progress);
    if (r29.ran && !r29.complete) return g;
    Log log(PathOf("IQCal.txt"));
    if (!log.file.TryOpen()) {
        notes.push_back({OpenFailureText("IQCal.txt"), true});
        return g;
    }
    g.ran = true;
    TxPreparation(dev, s);
    const auto [w28, w29] = TxIqWindows(r28, r29);
    const auto grid = GridPositions(WindowRange(r28.position, w28, 15), WindowRange(r29.position, w29, 32));
    MinimumRule rule;
    for (auto [p28, p29] : grid) {
        Reset(dev);
        TxIqPointSetup(dev, s);
        Ind(dev, 0x28, IqTableA()[p28]);
        Ind(dev, 0x29, IqTableB()[p29]);
        MeasurementStartTx(dev);
        const Measurement m = ReadMeasurement(dev, kTxIqIndex);
        log.Line(GridLine("0x28", IqTableA()[p28], "0x29", IqTableB()[p29], m));
        rule.Offer(m.ypwr, p28, p29);
        ++g.points;
        if (Cancelled(progress, log, "Full IQ", g.points, int(grid.size()))) break;
    }
    g.first = rule.first;
    g.second = rule.second;
    g.minimum = rule.minimum;
    g.complete = g.points == int(grid.size());
    const std::uint8_t v28 = IqTableA()[g.first], v29 = IqTableB()[g.second];
    if (g.complete) log.Line("\n==Minimum " + GridMinimum("0x28", v28, "0x29", v29, g.minimum));
    log.file.Commit();
    notes.push_back({g.complete ? "Full IQ Cal done,Minimum " + GridMinimum("0x28", v28, "0x29", v29, g.minimum)
                                : CancelledText("Full IQ", g.points, int(grid.size())),
                     false});
    return g;
}

AxisResult IqCalibration::RxIqSearch(CDeviceCommands& dev, RxIqAxis axis, const IqSettings& s,
                                     std::vector<IqNote>& notes, const IqProgressFn& progress) {
    const bool is35 = axis == RxIqAxis::R35;
    const char* file = is35 ? "Rx_IQ_35.txt" : "Rx_IQ_37.txt";
    const char* stage = is35 ? "RX 0x35" : "RX 0x37";
    AxisResult r;
    Log log(PathOf(file));
    if (!log.file.TryOpen()) {
        notes.push_back({OpenFailureText(file), true});
        return r;
    }
    r.ran = true;
    const char* name = is35 ? "0x35" : "0x37";
    const std::uint8_t swept = is35 ? 0x35 : 0x37;
    Ind(dev, 0x03, 0xFF);
    Ind(dev, is35 ? 0x37 : 0x35, 0x00);
    const auto positions = is35 ? AxisPositions(0, 32, 2) : AxisPositions(0, 15, 1);
    auto value = [is35](int p) { return is35 ? IqTableB()[p] : IqTableA()[p]; };
    MinimumRule rule;
    for (int p : positions) {
        RxPointSetup(dev, s.alc);
        RxFixedCompensation(dev);
        Ind(dev, swept, value(p));
        RxLoopSetup(dev);
        Ind(dev, 0x00, 0x9B);
        const Measurement m = ReadMeasurement(dev, kRxIqIndex);
        // The single-axis RX sweeps reset after each point but the first.
        if (r.points > 0) Reset(dev);
        log.Line(PointLine(name, value(p), m));
        rule.Offer(m.ypwr, p);
        ++r.points;
        if (Cancelled(progress, log, stage, r.points, int(positions.size()))) break;
    }
    r.position = rule.first;
    r.minimum = rule.minimum;
    r.complete = r.points == int(positions.size());
    if (r.complete) log.Line(MinimumLine(name, value(r.position), r.minimum));
    log.file.Commit();
    if (!r.complete) notes.push_back({CancelledText(stage, r.points, int(positions.size())), false});
    return r;
}

GridResult IqCalibration::FullRxIq(CDeviceCommands& dev, const IqSettings& s, std::vector<IqNote>& notes,
                                   const IqProgressFn& progress) {
    GridResult g;
    if (!AlcValid(s.alc)) {
        notes.push_back({AlcRefusal(), true});
        return g;
    }
    DeviceSequence sequence;
    const AxisResult r37 = RxIqSearch(dev, RxIqAxis::R37, s, notes, progress);
    if (r37.ran && !r37.complete) return g;
    const AxisResult r35 = RxIqSearch(dev, RxIqAxis::R35, s, notes, progress);
    if (r35.ran && !r35.complete) return g;
    Log log(PathOf("Rx_IQCal.txt"));
    if (!log.file.TryOpen()) {
        notes.push_back({OpenFailureText("IQCal.txt"), true});
        return g;
    }
    g.ran = true;
    Ind(dev, 0x03, 0xFF);
    const auto [w37, w35] = RxIqWindows(r37, r35);
    const auto grid = GridPositions(WindowRange(r37.position, w37, 15), WindowRange(r35.position, w35, 32));
    MinimumRule rule;
    for (auto [p37, p35] : grid) {
        RxPointSetup(dev, s.alc);
        RxFixedCompensation(dev);
        Ind(dev, 0x37, IqTableA()[p37]);
        Ind(dev, 0x35, IqTableB()[p35]);
        RxLoopSetup(dev);
        Ind(dev, 0x00, 0x9B);
        const Measurement m = ReadMeasurement(dev, kRxIqIndex);
        Reset(dev);
        log.Line(GridLine("0x37", IqTableA()[p37], "0x35", IqTableB()[p35], m));
        rule.Offer(m.ypwr, p37, p35);
        ++g.points;
        if (Cancelled(progress, log, "Rx0 IQ", g.points, int(grid.size()))) break;
    }
    g.first = rule.first;
    g.second = rule.second;
    g.minimum = rule.minimum;
    g.complete = g.points == int(grid.size());
    const std::uint8_t v37 = IqTableA()[g.first], v35 = IqTableB()[g.second];
    if (g.complete) log.Line("\n==Minimum " + GridMinimum("0x37", v37, "0x35", v35, g.minimum));
    log.file.Commit();
    notes.push_back({g.complete ? "Full IQ Cal done,Minimum " + GridMinimum("0x37", v37, "0x35", v35, g.minimum)
                                : CancelledText("Rx0 IQ", g.points, int(grid.size())),
                     false});
    return g;
}

} // namespace vq
