// The sheet's services as the shell gives them: each reaches the TX/RX page
// or the RF page the sheet holds, and does nothing when that page is absent.
// Written over the two page types so that the shell binds its own pages
// (property_sheet.h) and tests bind stand-ins with the same operations.
#pragma once

#include "ui/sheet_services.h"

#include <cstdint>
#include <functional>

namespace vq {

template <class TxRxPage, class RfPage> class PageServices : public ISheetServices {
  public:
    TxRxPage* txrx = nullptr;
    RfPage* rf = nullptr;
    std::function<void()> closeMainWindow;

    // Each service runs whole on the UI thread, whichever thread calls it:
    // the pages' running flags and controls are the UI thread's alone.
    void ToggleReceiveTest() override {
        OnUiThread([this] {
            if (txrx) txrx->ToggleRx();
        });
    }
    void ToggleTransmitTest() override {
        OnUiThread([this] {
            if (txrx) txrx->ToggleTx();
        });
    }
    void StopRunningTests() override {
        OnUiThread([this] {
            if (!txrx) return;
            if (txrx->IsRxRunning()) txrx->ToggleRx();
            if (txrx->IsTxRunning()) txrx->ToggleTx();
        });
    }
    void StopRunningReceive() override {
        OnUiThread([this] {
            if (txrx && txrx->IsRxRunning()) txrx->ToggleRx();
        });
    }
    void PollCounters() override {
        OnUiThread([this] {
            if (txrx) txrx->PollCounters();
        });
    }
    void ShareChannel(int index) override {
        OnUiThread([this, index] {
            if (rf && rf->HasWindow()) rf->SetChannelListIndex(index);
            if (txrx && txrx->HasWindow()) txrx->SetChannelListIndex(index);
        });
    }
    void SelectChannel(int index) override {
        OnUiThread([this, index] {
            if (txrx) txrx->SelectChannel(index);
        });
    }
    void SelectBandwidth(int index) override {
        OnUiThread([this, index] {
            if (txrx) txrx->SelectBandwidth(index);
        });
    }
    void SelectReceivePath(int index) override {
        OnUiThread([this, index] {
            if (txrx) txrx->SelectRxPath(index);
        });
    }
    void OneReceivePath(bool on) override {
        OnUiThread([this, on] {
            if (txrx) txrx->SetOneRxPath(on);
        });
    }
    void ShowSharedValues(bool toRfPage, std::uint8_t txPower0, std::uint8_t txPower1,
                          std::uint8_t freqOffset) override {
        OnUiThread([=, this] {
            if (!txrx || !rf || !txrx->HasWindow() || !rf->HasWindow()) return;
            if (toRfPage)
                rf->ShowSharedValues(txPower0, txPower1, freqOffset);
            else
                txrx->ShowSharedValues(txPower0, txPower1, freqOffset);
        });
    }
    void CloseMainWindow() override {
        OnUiThread([this] {
            if (closeMainWindow) closeMainWindow();
        });
    }
};

} // namespace vq
