#include "txrx/txrx_radio.h"

namespace vq {

// Radio set-up operations; filled in by the page initialisation work.
void CTxRxRadio::InitializePage(IControlPanel&) {}
void CTxRxRadio::ApplyChannel(IControlPanel&) {}
void CTxRxRadio::ApplyBandwidth(IControlPanel&) {}
void CTxRxRadio::RefreshTxPowerRegisters(IControlPanel&) {}
void CTxRxRadio::ApplyFortyMhzPowerDelta(IControlPanel&) {}
void CTxRxRadio::LoadTxPower(IControlPanel&, int) {}
void CTxRxRadio::ApplyDacChoice(IControlPanel&) {}
void CTxRxRadio::ApplyRxPath(IControlPanel&) {}
void CTxRxRadio::ApplyTxBandSel(IControlPanel&) {}
void CTxRxRadio::ApplyAntenna(IControlPanel&) {}
void CTxRxRadio::OnIntAlc(IControlPanel&) {}
void CTxRxRadio::OnTempCom(IControlPanel&) {}
void CTxRxRadio::OnDcdc127(IControlPanel&) {}

CTxRxRadio& TxRxRadio() {
    static CTxRxRadio radio;
    return radio;
}

} // namespace vq
