// Page operations of the TX/RX page that the radio set-up code needs besides
// the plain control access of IControlPanel. The page implements both; the
// set-up code reaches these with dynamic_cast on its panel (a test panel that
// does not implement them simply skips them).
#pragma once

namespace vq {

class ITxRxPageActions {
  public:
    virtual ~ITxRxPageActions() = default;
    // Channel drop-down (1019) from the channel list in force, then the mode
    // and rate lists.
    virtual void FillChannelList() = 0;
    // Mode list (1066) and the rate list (1030) of the current mode, current
    // rate index selected.
    virtual void FillModeAndRateLists() = 0;
    // The mode-change procedure for the current selection of "Mode": rate list
    // refill, BBP R4 bit 5, SGI/STBC/TxBandSel enabling, QoS fields, TX power
    // refresh, 50 ms pause, "Conti. Tx" restart.
    virtual void ModeChanged() = 0;
    // Frame template of a frame type into the frame fields.
    virtual void ApplyFrameType(int index) = 0;
    virtual void ZeroCounterAccumulators() = 0;
    virtual void ResetCounters() = 0;
    virtual void SetTempSensor(bool on) = 0;
    virtual void SetAutoResponder(bool on) = 0;
    // QoS layout flag of the descriptor dialog.
    virtual void SetQosLayout(bool on) = 0;
    // When "Conti. Tx" is checked and transmitting: stop and start again with
    // the new radio setting (under a wait cursor).
    virtual void RestartContinuousTx() = 0;
};

} // namespace vq
