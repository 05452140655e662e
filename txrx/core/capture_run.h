// The capture run: the settings of the capture dialog, the register sequence
// that arms the chip's capture engine and waits for it, and the capture files
// written through the capture data writer.
#pragma once

#include "device/capture_registers.h"
#include "device/device_commands.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vq {

// Process-wide: the dialog sets them, the run reads them.
struct CaptureSettings {
    bool autoTrigger = true;
    bool adcMode = true; // false: FEQ output
    bool adc6 = false;   // ADC6 output (else ADC8); only in ADC mode
    bool txSide = false; // ADC6 from the transmitter (else the receiver)
    std::uint32_t triggerOffset = 0x200;
    std::uint32_t captureTimes = 1;

    // The ADC output choice counts only in ADC mode.
    bool Adc6Used() const { return adcMode && adc6; }
};
CaptureSettings& CaptureSetting();

constexpr unsigned kCapturePolls = 1000; // 10 ms apart: 10 s at most
constexpr unsigned kCapturePollMs = 10;


// Arms one capture with the settings and waits up to `polls` x 10 ms for the
// engine to finish; the receiver and transmitter are off afterwards. Returns
// the end pointer E. A trigger that never comes still gives an E.
std::uint32_t TriggerCapture(CDeviceCommands& dev, const CaptureSettings& s, unsigned polls = kCapturePolls);
// Hands the capture memory back to the MAC and restores its DMA and filters.
void EndCapture(CDeviceCommands& dev);

// One file for one capture ("<chosen>.txt"), else "<chosen>_%05d.txt" for
// capture 1 to n.
std::vector<std::string> CaptureFileNames(const std::string& chosen, std::uint32_t captureTimes);

// One capture per path, each written whole through the capture writer. Stops
// at the first file that cannot be created ("CaptureData File not opened!")
// or written (a message names it). True when every capture was saved.
bool RunCaptures(CDeviceCommands& dev, const CaptureSettings& s, const std::vector<std::string>& paths,
                 unsigned polls = kCapturePolls);

// The fixed IQ captures of "Rx Calibration" / "Tx Calibration": manual
// trigger, ADC mode, offset 0x200, one capture, the ADC output as set.
CaptureSettings FixedIqCaptureSettings(const CaptureSettings& current);
const char* FixedIqCaptureFile(bool tx); // "TxIQ.adc" / "RxIQ.adc"

// "CaptureData File not opened!", "Capture data done!"
extern const char* const kCaptureNotOpenedText;
extern const char* const kCaptureDoneText;

} // namespace vq
