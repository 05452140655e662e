// The FFT graph page's capture loop on a worker thread: capture cycles on
// the board until the capturing flag is cleared, each processed for the
// domain shown. The loop never touches a widget: it takes the control values
// through a handler (a snapshot the UI thread keeps) and hands every result
// to handlers, which the page forwards to its own thread.
#pragma once

#include "measure/core/fft_capture.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace vq {

// The page's controls as the loop reads them.
struct CaptureControls {
    bool frequencyDomain = true;
    bool autoTrigger = true;
    std::string triggerOffset = "200";
    bool showI = true, showQ = false;
    bool golden = false;
    int bandwidthIndex = 1; // "10", "20", "40"
    int pauseSteps = 1;     // slider 0..5, 200 ms each
};
// 10, 20 or 40 MHz for the "BW" index.
int BandwidthMHzOfIndex(int index);

class CaptureLoop {
  public:
    struct Handlers {
        std::function<CaptureControls()> controls; // called on the worker
        std::function<void(SpectrumResult)> spectrum;
        std::function<void(TraceResult)> traces;
        std::function<void(std::string)> evm; // only while fnRXEVM is loaded
        std::function<void(std::vector<std::uint32_t>)> captured;
        std::function<void()> finished; // last call of the thread
    };

    CaptureLoop() = default;
    ~CaptureLoop(); // aborts and joins
    CaptureLoop(const CaptureLoop&) = delete;
    CaptureLoop& operator=(const CaptureLoop&) = delete;

    // Sets the flag and starts the thread; false while a thread still runs.
    bool Start(Handlers handlers);
    // Clears the flag only: the thread ends after the cycle in progress.
    void Stop() { capturing_ = false; }
    // Stop, and also end a wait for the trigger at once and drop the cycle's
    // data (the page is going away).
    void Abort();
    // Waits for the thread; `idle` runs every few milliseconds meanwhile (the
    // UI thread serves the worker's queued calls and message boxes there).
    void Join(const std::function<void()>& idle = {});
    bool Capturing() const { return capturing_; }
    bool Running() const { return running_; }
    int Cycles() const { return cycles_; }

  private:
    void Run();

    Handlers handlers_;
    std::thread thread_;
    std::atomic<bool> capturing_{false};
    std::atomic<bool> abort_{false};
    std::atomic<bool> running_{false};
    std::atomic<int> cycles_{0};
};

} // namespace vq
