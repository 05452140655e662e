#include "txrx/core/capture_run.h"

#include "base/format.h"
#include "base/services.h"
#include "device/sequence.h"
#include "formats/saved_file.h"
#include "txrx/core/capture_writer.h"

#include <sstream>

namespace vq {

const char* const kCaptureNotOpenedText = "CaptureData File not opened!";
const char* const kCaptureDoneText = "Capture data done!";

CaptureSettings& CaptureSetting() {
    static CaptureSettings settings;
    return settings;
}

namespace {

std::uint32_t Mac(CDeviceCommands& dev, std::uint32_t address) {
    std::uint32_t v = 0;
    dev.MacRead(address, v);
    return v;
}

} // namespace

std::uint32_t TriggerCapture(CDeviceCommands& dev, const CaptureSettings& s, unsigned polls) {
    DeviceSequence sequence;
    const bool adc6 = s.Adc6Used();
    // The MAC lets go of the capture memory while receive and transmit are off.
    dev.MacWrite(0x1004, 0);
    dev.MacWrite(0x408, 0);
    dev.MacWrite(0x400, Mac(dev, 0x400) | 0x4000);

    // Source: bit 31 selects the FEQ output, bit 15 the 6-bit ADC output.
    std::uint8_t savedR60 = 0;
    if (!s.adcMode) {
        dev.MacWrite(kCaptureControl, (Mac(dev, kCaptureControl) & ~0x8000u) | 0x80000000u);
    } else if (adc6) {
        dev.BbpAccess(0, 60, savedR60);
        std::uint8_t v = 0x80;
        dev.BbpAccess(1, 60, v);
        v = 16;
        dev.BbpAccess(1, 142, v);
        v = 5;
        dev.BbpAccess(1, 143, v);
        dev.MacWrite(kCaptureControl, (Mac(dev, kCaptureControl) & 0x7FFF7FFF) | 0x8000);
    } else {
        dev.MacWrite(kCaptureControl, Mac(dev, kCaptureControl) & 0x7FFF7FFF);
    }

    // Trigger offset in bits 16..28; 0 or out of range leaves it 0.
    std::uint32_t control = Mac(dev, kCaptureControl) & 0xE000FFFF;
    if (s.triggerOffset >= 1 && s.triggerOffset <= 8191) control |= s.triggerOffset << 16;
    dev.MacWrite(kCaptureControl, control);

    dev.MacWrite(kCaptureControl, Mac(dev, kCaptureControl) | kCaptureArm);
    dev.MacWrite(0x1004, adc6 && s.txSide ? 4 : 8);

    if (!s.autoTrigger) {
        Sleep(10);
        dev.MacWrite(kCaptureControl, adc6 ? 0x20008000 : 0x20000000); // bit 29: trigger now
    }
    for (unsigned i = 0; i < polls && !DeviceSequence::BoardStopped(); ++i) {
        Sleep(kCapturePollMs);
        if ((Mac(dev, kCaptureControl) & kCaptureArm) == 0) break;
    }
    if (adc6) dev.BbpAccess(1, 60, savedR60);
    dev.MacWrite(0x1004, 0);
    return Mac(dev, kCaptureControl) & 0x1FFF;
}

void EndCapture(CDeviceCommands& dev) {
    DeviceSequence sequence;
    dev.MacWrite(0x400, Mac(dev, 0x400) & ~0x4000u);
    dev.MacWrite(0x410, 0x20);
    dev.MacWrite(0x408, 0xF40016);
}

std::vector<std::string> CaptureFileNames(const std::string& chosen, std::uint32_t captureTimes) {
    if (captureTimes == 1) return {chosen + ".txt"};
    std::vector<std::string> names;
    for (std::uint32_t k = 1; k <= captureTimes; ++k)
        names.push_back(chosen + Format("_%05u", k) + ".txt");
    return names;
}

bool RunCaptures(CDeviceCommands& dev, const CaptureSettings& s, const std::vector<std::string>& paths,
                 unsigned polls) {
    DeviceSequence sequence;
    for (const std::string& path : paths) {
        // The whole capture replaces the file, so an older, longer one leaves no tail behind.
        SavedFile file(path);
        if (!file.Open()) {
            ShowMessage(kCaptureNotOpenedText);
            return false;
        }
        const std::uint32_t e = TriggerCapture(dev, s, polls);
        std::ostringstream text;
        const bool written = WriteCaptureData(dev, text, e, s.Adc6Used());
        EndCapture(dev);
        if (!written) {
            file.Discard();
            ShowMessage(ReadFailedText("The capture memory", path));
            return false;
        }
        file.Put(text.view());
        if (!file.Commit()) return false;
    }
    return true;
}

CaptureSettings FixedIqCaptureSettings(const CaptureSettings& current) {
    CaptureSettings s = current;
    s.autoTrigger = false;
    s.adcMode = true;
    s.triggerOffset = 0x200;
    s.captureTimes = 1;
    return s;
}

const char* FixedIqCaptureFile(bool tx) {
    return tx ? "TxIQ.adc" : "RxIQ.adc";
}

} // namespace vq
