#include "measure/core/fft_capture.h"

#include "base/format.h"
#include "base/numbers.h"
#include "base/services.h"
#include "device/sequence.h"
#include "formats/saved_file.h"
#include "measure/core/fft.h"
#include "measure/core/fft_tables.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>

namespace vq {

namespace {

constexpr std::uint32_t kSysCtrl = 0x1004;
constexpr std::uint32_t kArm = 0x40000000;
constexpr std::uint32_t kForceTrigger = 0x20000000;
constexpr std::uint32_t kSourceSelect = 0x80000000;
constexpr std::uint32_t kOffsetFieldKeep = 0xE000FFFF;
constexpr std::uint32_t kEndMask = 0x1FFF;
constexpr int kTriggerPolls = 1000;
constexpr unsigned kPollMs = 10;
constexpr int kBlocks = kCaptureWords / kFftSize;

double Db(double power) {
    return 10 * std::log10(power);
}

} // namespace

std::uint32_t TriggerOffsetOf(const std::string& text) {
    constexpr NumberFormat kHex{.base = 16,
                                .blanks = Blanks::SpaceTab,
                                .hexPrefix = true,
                                .overflow = Overflow::Saturate,
                                .limit = 0xFFFFFFFF};
    const std::int64_t t = NumberPrefix(text, kHex);
    return t >= 1 && t <= std::int64_t(kEndMask) ? std::uint32_t(t) : 0;
}

bool ReadCaptureRing(CDeviceCommands& dev, std::uint32_t end, std::uint32_t* words) {
    std::uint32_t address = kCaptureRingBase + 4 * (end & kEndMask);
    std::uint32_t done = 0;
    bool ok = true;
    while (done < kCaptureWords) {
        std::uint32_t count = std::min<std::uint32_t>(kCaptureReadWords, kCaptureWords - done);
        count = std::min<std::uint32_t>(count, (kCaptureRingEnd - address) / 4);
        if (dev.MacMultiRead(address, words + done, 4 * count) != int(count)) ok = false;
        done += count;
        address += 4 * count;
        if (address >= kCaptureRingEnd) address = kCaptureRingBase;
    }
    return ok;
}

CaptureResult RunCaptureCycle(CDeviceCommands& dev, const CaptureRequest& request, const std::atomic<bool>* abort) {
    DeviceSequence sequence;
    CaptureResult result;
    auto aborted = [abort] { return abort && abort->load(); };
    // Receiver and MAC stopped while the capture memory is set up.
    dev.MacWrite(kSysCtrl, 0);
    dev.MacWrite(0x408, 0);
    dev.MacWrite(0x400, 0x4E80);
    // Each step reads the control register again and writes it back changed.
    auto modify = [&dev](std::uint32_t keep, std::uint32_t set) {
        std::uint32_t v = 0;
        dev.MacRead(kCaptureControl, v);
        dev.MacWrite(kCaptureControl, (v & keep) | set);
    };
    modify(~kSourceSelect, 0);
    modify(kOffsetFieldKeep, 0);
    if (request.triggerOffset >= 1 && request.triggerOffset <= kEndMask) modify(~0u, request.triggerOffset << 16);
    modify(~0u, kArm);
    dev.MacWrite(kSysCtrl, 8); // receiver on: the ADC feeds the capture memory
    if (request.forceTrigger) {
        Sleep(kPollMs);
        dev.MacWrite(kCaptureControl, kForceTrigger);
    }
    // The hardware clears the arm bit when the memory is full.
    std::uint32_t control = kArm;
    while (result.polls < kTriggerPolls && !aborted() && !DeviceSequence::BoardStopped()) {
        Sleep(kPollMs);
        ++result.polls;
        std::uint32_t v = kArm;
        if (dev.MacRead(kCaptureControl, v) != 0) continue;
        control = v;
        if (!(v & kArm)) {
            result.triggered = true;
            break;
        }
    }
    dev.MacWrite(kSysCtrl, 0);
    dev.MacRead(kCaptureControl, control);
    result.end = control & kEndMask;
    if (!aborted()) ReadCaptureRing(dev, result.end, result.words.data());
    // MAC back to normal receive.
    dev.MacWrite(0x400, 0xE80);
    dev.MacWrite(0x410, 0x20);
    dev.MacWrite(0x408, 0xF40016);
    return result;
}

std::vector<double> AveragedPower(const std::vector<std::uint32_t>& words) {
    const auto& w = FftWindow();
    std::vector<double> acc(kFftSize, 0.0);
    Complex in[kFftSize], out[kFftSize];
    for (int b = 0; b < kBlocks; ++b) {
        for (int k = 0; k < kFftSize; ++k) {
            const IqSample s = SampleOfWord(words[std::size_t(b * kFftSize + k)]);
            in[k] = Complex(s.i * w[std::size_t(k)], s.q * w[std::size_t(k)]);
        }
        Fft(in, out, kFftSize);
        for (int k = 0; k < kFftSize; ++k)
            acc[std::size_t(k)] += out[k].real() * out[k].real() + out[k].imag() * out[k].imag();
    }
    for (double& p : acc)
        p /= kBlocks;
    return acc;
}

double NoiseFigure(const std::vector<double>& power) {
    double sum = 0;
    for (int k = 0; k < kFftSize; ++k) {
        if (k >= 485 && k <= 488) continue; // the receiver's DC spur
        sum += Db(power[std::size_t(k)]) - 27.1;
    }
    return sum / 508 - 18.5958;
}

SpectrumResult ProcessSpectrum(const std::vector<std::uint32_t>& words, int bandwidthMHz, bool golden) {
    const std::vector<double> p = AveragedPower(words);
    SpectrumResult r;
    r.noiseFigure = NoiseFigure(p);
    r.points.reserve(golden ? 2 * kFftSize : kFftSize);
    const double step = bandwidthMHz / 256.0;
    // Bins 256..1 on the negative axis, bin 0 at the centre, 511..257 on the
    // positive axis: the display mirrors the transform's frequency order.
    for (int i = 0; i < 256; ++i)
        r.points.push_back({-(256 - i) * step, Db(p[std::size_t(256 - i)]) - 28});
    r.points.push_back({0.0, Db(p[0]) - 28});
    for (int j = 1; j < 256; ++j)
        r.points.push_back({j * step, Db(p[std::size_t(512 - j)]) - 28});
    if (golden) {
        const auto& g = GoldenNoise();
        for (int i = 0; i < kFftSize; ++i)
            r.points.push_back({(i - 256) * step, g[std::size_t(i)]});
        r.series = 2;
    }
    return r;
}

std::string NoiseFigureText(double d) {
    return Format("%f dB", d);
}

TraceResult ProcessTraces(const std::vector<std::uint32_t>& words, int bandwidthIndex, bool showI, bool showQ) {
    TraceResult r;
    const double span = bandwidthIndex == 2 ? 100.0 : 200.0;
    auto series = [&](bool q) {
        for (int i = 0; i < kTracePoints; ++i) {
            const IqSample s = SampleOfWord(words[std::size_t(i)]);
            r.points.push_back({i * span / kTracePoints, double(q ? s.q : s.i)});
        }
        ++r.series;
    };
    if (showI) series(false);
    if (showQ) series(true);
    r.qOnly = showQ && !showI;
    r.count = r.series ? kTracePoints : 0;
    return r;
}

void EvmInput(const std::vector<std::uint32_t>& words, std::vector<std::int32_t>& i, std::vector<std::int32_t>& q) {
    i.resize(kCaptureWords);
    q.resize(kCaptureWords);
    for (std::size_t n = 0; n < std::size_t(kCaptureWords); ++n) {
        const IqSample s = SampleOfWord(words[n]);
        i[n] = s.i;
        q[n] = s.q;
    }
}

std::string EvmText(double evm) {
    return std::isnan(evm) ? std::string("-.------ dB") : Format("%.6f dB", evm);
}

std::string AdcFileText(const std::vector<std::uint32_t>& words) {
    std::string text;
    text.reserve(std::size_t(kCaptureWords) * 10);
    for (std::size_t n = 0; n < std::size_t(kCaptureWords); ++n) {
        const IqSample s = SampleOfWord(words[n]);
        text += Format("%d\t%d\n", s.i, s.q);
    }
    return text;
}

bool SaveAdcFile(const std::string& name, const std::vector<std::uint32_t>& words) {
    std::string path = name;
    std::string tail = path.size() >= 4 ? path.substr(path.size() - 4) : std::string();
    std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (tail != ".adc") path += ".adc";
    return SaveWholeFile(path, AdcFileText(words));
}

} // namespace vq
