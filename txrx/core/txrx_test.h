// A counted transmission as "Start TX" runs it when no continuous mode is on,
// and the counter poll that follows it: shared by the TX/RX page and the
// command-line tool, so both send the same sequence.
#pragma once

#include "device/device_commands.h"
#include "txrx/core/txrx_model.h"

#include <cstdint>

namespace vq {

// Builds the StartTX payload (with its EDCA, WCID, key and gap writes), then
// the HCCA bit of MAC 0x408 for QoS data, the ring selection bits and the
// transmitter enable (MAC 0x1004 bit 2). Returns the frame type index, or
// kFrameBeacon / kBuildRefused when nothing is to be sent (no enable then).
int PrepareCountedTx(CDeviceCommands& dev, const TxFrameInputs& in, const TxDescriptorValues& desc,
                     StartTxPayload& payload);
// TSSI and temperature compensation on when asked, StartTX, then 200 ms for
// the board to begin.
void SendCountedTx(CDeviceCommands& dev, const StartTxPayload& payload, bool intAlc, bool tempCom);
// The board stopped by itself after its count: transmitter enable off.
void EndCountedTx(CDeviceCommands& dev);
// "Stop TX" of a counted transmission: compensations off, StopTX.
void StopCountedTx(CDeviceCommands& dev, bool intAlc, bool tempCom);

} // namespace vq
