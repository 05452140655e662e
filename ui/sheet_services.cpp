#include "ui/sheet_services.h"

#include "device/program_state.h"

#include <atomic>

namespace vq {

void SheetDispatcher::ToggleReceiveTest() {
    if (txrx_) txrx_->ToggleRx();
}
void SheetDispatcher::ToggleTransmitTest() {
    if (txrx_) txrx_->ToggleTx();
}
void SheetDispatcher::StopRunningTests() {
    if (!txrx_) return;
    if (txrx_->IsRxRunning()) txrx_->ToggleRx();
    if (txrx_->IsTxRunning()) txrx_->ToggleTx();
}
void SheetDispatcher::StopRunningReceive() {
    if (txrx_ && txrx_->IsRxRunning()) txrx_->ToggleRx();
}
void SheetDispatcher::PollCounters() {
    if (txrx_) txrx_->PollCounters();
}
void SheetDispatcher::ShareChannel(int index) {
    if (rf_ && rf_->HasWindow()) rf_->SetChannelListIndex(index);
    if (txrx_ && txrx_->HasWindow()) txrx_->SetChannelListIndex(index);
}
void SheetDispatcher::SelectChannel(int index) {
    if (txrx_) txrx_->SelectChannel(index);
}
void SheetDispatcher::SelectBandwidth(int index) {
    if (txrx_) txrx_->SelectBandwidth(index);
}
void SheetDispatcher::SelectReceivePath(int index) {
    if (txrx_) txrx_->SelectRxPath(index);
}
void SheetDispatcher::OneReceivePath(bool on) {
    if (txrx_) txrx_->SetOneRxPath(on);
}
void SheetDispatcher::ShowSharedValues(bool toRfPage, std::uint8_t p0, std::uint8_t p1, std::uint8_t fo) {
    if (!txrx_ || !rf_ || !txrx_->HasWindow() || !rf_->HasWindow()) return;
    if (toRfPage)
        rf_->ShowSharedValues(p0, p1, fo);
    else
        txrx_->ShowSharedValues(p0, p1, fo);
}

namespace {
SheetDispatcher g_defaultSheet;
std::atomic<ISheetServices*> g_sheet{nullptr};
} // namespace

ISheetServices& Sheet() {
    ISheetServices* s = g_sheet.load();
    return s ? *s : g_defaultSheet;
}
void SetSheet(ISheetServices* sheet) {
    g_sheet.store(sheet);
}

} // namespace vq
