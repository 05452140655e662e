// Services of the page sheet through which one page acts on another without
// knowing it. The shell implements them against its pages; code reaches them
// through Sheet(). Without a sheet every service does nothing.
#pragma once

#include <cstdint>
#include <functional>

namespace vq {

class ISheetServices {
  public:
    virtual ~ISheetServices() = default;
    // The TX/RX page's receive and transmit tests.
    virtual void ToggleReceiveTest() = 0;
    virtual void ToggleTransmitTest() = 0;
    // Receive first, then transmit: whichever runs is stopped.
    virtual void StopRunningTests() = 0;
    virtual void StopRunningReceive() = 0;
    // One counter poll of the TX/RX page.
    virtual void PollCounters() = 0;
    // The RF page's and the TX/RX page's channel lists on this index (no
    // change action), for each page whose window exists.
    virtual void ShareChannel(int index) = 0;
    // Entry n of a TX/RX page list, then its change action.
    virtual void SelectChannel(int index) = 0;
    virtual void SelectBandwidth(int index) = 0;
    virtual void SelectReceivePath(int index) = 0;
    // "One RX Path" ticked or cleared, then its click action.
    virtual void OneReceivePath(bool on) = 0;
    // TX power 0, TX power 1 and the frequency offset into the TX/RX page's
    // fields (or the RF page's, `toRfPage`), only when both page windows exist.
    virtual void ShowSharedValues(bool toRfPage, std::uint8_t txPower0, std::uint8_t txPower1,
                                  std::uint8_t freqOffset) = 0;
    // Asks the main window to close (e.g. after a failed allocation).
    virtual void CloseMainWindow() = 0;
};

// Runs `f` on the UI thread: at once when called there, else as a blocking
// queued call (the caller's device sequence lets go of the link meanwhile, as
// the UI thread may need it). Without an application object it runs at once.
void OnUiThread(const std::function<void()>& f);

// The sheet's services (a sheet that does nothing while none is set).
ISheetServices& Sheet();
void SetSheet(ISheetServices* sheet); // null restores the one that does nothing

} // namespace vq
