#include "measure/core/capture_loop.h"

#include "base/services.h"
#include "measure/core/ostra.h"

#include <chrono>

namespace vq {

int BandwidthMHzOfIndex(int index) {
    return index == 0 ? 10 : index == 2 ? 40 : 20;
}

CaptureLoop::~CaptureLoop() {
    Abort();
    Join();
}

bool CaptureLoop::Start(Handlers handlers) {
    if (running_) return false;
    if (thread_.joinable()) thread_.join();
    handlers_ = std::move(handlers);
    abort_ = false;
    capturing_ = true;
    running_ = true;
    cycles_ = 0;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void CaptureLoop::Abort() {
    abort_ = true;
    capturing_ = false;
}

void CaptureLoop::Join(const std::function<void()>& idle) {
    if (!thread_.joinable()) return;
    while (running_) {
        if (idle) idle();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    thread_.join();
}

void CaptureLoop::Run() {
    OstraLibrary ostra;
    ostra.Load();
    const RxEvmFunction rxEvm = ostra.RxEvm();
    std::vector<std::int32_t> evmI, evmQ;
    while (capturing_) {
        CaptureControls c = handlers_.controls ? handlers_.controls() : CaptureControls{};
        const bool frequency = c.frequencyDomain;
        CaptureRequest request;
        request.forceTrigger = frequency || !c.autoTrigger;
        request.triggerOffset = TriggerOffsetOf(c.triggerOffset);
        CDeviceCommands dev;
        CaptureResult capture = RunCaptureCycle(dev, request, &abort_);
        if (abort_) break;
        // The display controls as they are now, after the wait.
        if (handlers_.controls) c = handlers_.controls();
        if (frequency) {
            SpectrumResult r = ProcessSpectrum(capture.words, BandwidthMHzOfIndex(c.bandwidthIndex), c.golden);
            if (handlers_.spectrum) handlers_.spectrum(std::move(r));
        } else {
            if (rxEvm) {
                EvmInput(capture.words, evmI, evmQ);
                const double evm = rxEvm(evmI.data(), evmQ.data());
                if (handlers_.evm) handlers_.evm(EvmText(evm));
            }
            TraceResult r = ProcessTraces(capture.words, c.bandwidthIndex, c.showI, c.showQ);
            if (handlers_.traces) handlers_.traces(std::move(r));
        }
        if (handlers_.captured) handlers_.captured(std::move(capture.words));
        ++cycles_;
        if (c.pauseSteps > 0 && !abort_) Sleep(unsigned(c.pauseSteps) * 200);
    }
    ostra.Unload();
    if (handlers_.finished) handlers_.finished();
    running_ = false;
}

} // namespace vq
