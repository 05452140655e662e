#include "txrx/core/txrx_test.h"

#include "base/services.h"
#include "device/sequence.h"

namespace vq {

namespace {
constexpr std::uint32_t kSysCtrl = 0x1004;
constexpr std::uint32_t kTxEnable = 0x4;
constexpr std::uint32_t kHccaRegister = 0x408;
} // namespace

int PrepareCountedTx(CDeviceCommands& dev, const TxFrameInputs& in, const TxDescriptorValues& desc,
                     StartTxPayload& payload) {
    DeviceSequence sequence;
    const int type = BuildStartTxPayload(dev, in, desc, payload);
    if (type == kFrameBeacon || type == kBuildRefused) return type;
    std::uint32_t v = 0;
    if (type == kFrameQosData && desc.hcca) {
        dev.MacRead(kHccaRegister, v);
        dev.MacWrite(kHccaRegister, v | 0x8);
    }
    SetPayloadRingBits(payload, RingSelectionBits(type, desc));
    v = 0;
    dev.MacRead(kSysCtrl, v);
    dev.MacWrite(kSysCtrl, v | kTxEnable);
    return type;
}

void SendCountedTx(CDeviceCommands& dev, const StartTxPayload& payload, bool intAlc, bool tempCom) {
    DeviceSequence sequence;
    if (intAlc) dev.TssiCompensation(1);
    if (tempCom) dev.TemperatureCompensation(1);
    dev.StartTx(std::uint16_t(payload.bytes.size()), payload.bytes.data());
    Sleep(200);
}

void EndCountedTx(CDeviceCommands& dev) {
    DeviceSequence sequence;
    std::uint32_t v = 0;
    dev.MacRead(kSysCtrl, v);
    dev.MacWrite(kSysCtrl, v & ~kTxEnable);
}

void StopCountedTx(CDeviceCommands& dev, bool intAlc, bool tempCom) {
    DeviceSequence sequence;
    if (intAlc) dev.TssiCompensation(0);
    if (tempCom) dev.TemperatureCompensation(0);
    dev.StopTx();
}

} // namespace vq
