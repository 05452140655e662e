// Services of the page sheet through which one page acts on another without
// knowing it. Each service reaches its page when that page exists and does
// nothing otherwise.
#pragma once

#include <cstdint>

namespace vq {

// What the TX/RX page offers to the other pages.
class ITxRxPageOps {
  public:
    virtual ~ITxRxPageOps() = default;
    virtual void ToggleRx() = 0;
    virtual void ToggleTx() = 0;
    virtual bool IsRxRunning() const = 0;
    virtual bool IsTxRunning() const = 0;
    virtual void PollCounters() = 0;
    virtual bool HasWindow() const = 0;
    // Select entry n of a list and run its change action.
    virtual void SelectChannel(int index) = 0;
    virtual void SelectBandwidth(int index) = 0;
    virtual void SelectRxPath(int index) = 0;
    virtual void SetOneRxPath(bool on) = 0;
    // Put the channel list on an index without running its action.
    virtual void SetChannelListIndex(int index) = 0;
    // TX power 0, TX power 1 and frequency offset into the display fields, then refresh.
    virtual void ShowSharedValues(std::uint8_t txPower0, std::uint8_t txPower1, std::uint8_t freqOffset) = 0;
};

// What RF page 1 offers.
class IRfPageOps {
  public:
    virtual ~IRfPageOps() = default;
    virtual bool HasWindow() const = 0;
    virtual void SetChannelListIndex(int index) = 0;
    virtual void ShowSharedValues(std::uint8_t txPower0, std::uint8_t txPower1, std::uint8_t freqOffset) = 0;
};

class ISheetServices {
  public:
    virtual ~ISheetServices() = default;
    virtual void ToggleReceiveTest() = 0;
    virtual void ToggleTransmitTest() = 0;
    virtual void StopRunningTests() = 0;
    virtual void StopRunningReceive() = 0;
    virtual void PollCounters() = 0;
    virtual void ShareChannel(int index) = 0;
    virtual void SelectChannel(int index) = 0;
    virtual void SelectBandwidth(int index) = 0;
    virtual void SelectReceivePath(int index) = 0;
    virtual void OneReceivePath(bool on) = 0;
    // Writes the three shared values into the TX/RX page's or the RF page's fields
    // (`toRfPage`), only when both page windows exist.
    virtual void ShowSharedValues(bool toRfPage, std::uint8_t txPower0, std::uint8_t txPower1,
                                  std::uint8_t freqOffset) = 0;
    // Asks the main window to close (e.g. after a failed allocation).
    virtual void CloseMainWindow() = 0;

    // Pages register what they offer when they are constructed.
    virtual void RegisterTxRxPage(ITxRxPageOps* page) = 0;
    virtual void RegisterRfPage(IRfPageOps* page) = 0;
};

// Dispatches each service to the registered pages. The sheet derives from it;
// on its own it serves tests that build single pages.
class SheetDispatcher : public ISheetServices {
  public:
    void ToggleReceiveTest() override;
    void ToggleTransmitTest() override;
    void StopRunningTests() override;
    void StopRunningReceive() override;
    void PollCounters() override;
    void ShareChannel(int index) override;
    void SelectChannel(int index) override;
    void SelectBandwidth(int index) override;
    void SelectReceivePath(int index) override;
    void OneReceivePath(bool on) override;
    void ShowSharedValues(bool toRfPage, std::uint8_t txPower0, std::uint8_t txPower1,
                          std::uint8_t freqOffset) override;
    void CloseMainWindow() override {}
    void RegisterTxRxPage(ITxRxPageOps* page) override { txrx_ = page; }
    void RegisterRfPage(IRfPageOps* page) override { rf_ = page; }
    ITxRxPageOps* TxRxPage() const { return txrx_; }
    IRfPageOps* RfPage() const { return rf_; }

  private:
    ITxRxPageOps* txrx_ = nullptr;
    IRfPageOps* rf_ = nullptr;
};

// The sheet's services for code that is not a page (null-safe: a default
// implementation that reaches the registered pages is always there).
ISheetServices& Sheet();
void SetSheet(ISheetServices* sheet); // null restores the default

} // namespace vq
