// Initialisation of the TX/RX page and the radio set-up operations: they
// program the board's MAC, BBP and RF registers from the built-in tables and
// the EEPROM, and reprogram the radio when channel, bandwidth, DAC, TX band,
// antenna, receive path or TX power options change.
#pragma once

#include "txrx/control_panel.h"

#include <cstdint>

namespace vq {

class CTxRxRadio {
  public:
    // Page initialisation on first showing (all of its steps, in order).
    void InitializePage(IControlPanel& panel);
    void ApplyChannel(IControlPanel& panel);
    void ApplyBandwidth(IControlPanel& panel);
    void RefreshTxPowerRegisters(IControlPanel& panel);
    void ApplyFortyMhzPowerDelta(IControlPanel& panel);
    void LoadTxPower(IControlPanel& panel, int k);
    void ApplyDacChoice(IControlPanel& panel);
    void ApplyRxPath(IControlPanel& panel);
    void ApplyTxBandSel(IControlPanel& panel);
    void ApplyAntenna(IControlPanel& panel);
    void OnIntAlc(IControlPanel& panel);
    void OnTempCom(IControlPanel& panel);
    void OnDcdc127(IControlPanel& panel);
};

// The page's one instance.
CTxRxRadio& TxRxRadio();

} // namespace vq
