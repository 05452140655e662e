#include "app/core/sheet_services.h"

#include "link/program_state.h"

#include <atomic>

namespace vq {

namespace {

// Dispatches each service to the registered pages; used by the sheet and, on
// its own, by tests that build single pages.
class DefaultSheet : public ISheetServices {
  public:
    void ToggleReceiveTest() override {
        if (txrx_) txrx_->ToggleRx();
    }
    void ToggleTransmitTest() override {
        if (txrx_) txrx_->ToggleTx();
    }
    void StopRunningTests() override {
        if (!txrx_) return;
        if (txrx_->IsRxRunning()) txrx_->ToggleRx();
        if (txrx_->IsTxRunning()) txrx_->ToggleTx();
    }
    void StopRunningReceive() override {
        if (txrx_ && txrx_->IsRxRunning()) txrx_->ToggleRx();
    }
    void PollCounters() override {
        if (txrx_) txrx_->PollCounters();
    }
    void ShareChannel(int index) override {
        if (rf_ && rf_->HasWindow()) rf_->SetChannelListIndex(index);
        if (txrx_ && txrx_->HasWindow()) txrx_->SetChannelListIndex(index);
    }
    void SelectChannel(int index) override {
        if (txrx_) txrx_->SelectChannel(index);
    }
    void SelectBandwidth(int index) override {
        if (txrx_) txrx_->SelectBandwidth(index);
    }
    void SelectReceivePath(int index) override {
        if (txrx_) txrx_->SelectRxPath(index);
    }
    void OneReceivePath(bool on) override {
        if (txrx_) txrx_->SetOneRxPath(on);
    }
    void ShowSharedValues(bool toRfPage, std::uint8_t p0, std::uint8_t p1, std::uint8_t fo) override {
        if (!txrx_ || !rf_ || !txrx_->HasWindow() || !rf_->HasWindow()) return;
        if (toRfPage)
            rf_->ShowSharedValues(p0, p1, fo);
        else
            txrx_->ShowSharedValues(p0, p1, fo);
    }
    void CloseMainWindow() override {}
    void RegisterTxRxPage(ITxRxPageOps* page) override { txrx_ = page; }
    void RegisterRfPage(IRfPageOps* page) override { rf_ = page; }

  private:
    ITxRxPageOps* txrx_ = nullptr;
    IRfPageOps* rf_ = nullptr;
};

DefaultSheet g_defaultSheet;
std::atomic<ISheetServices*> g_sheet{nullptr};

} // namespace

ISheetServices& Sheet() {
    ISheetServices* s = g_sheet.load();
    return s ? *s : g_defaultSheet;
}
void SetSheet(ISheetServices* sheet) { g_sheet.store(sheet); }

} // namespace vq
