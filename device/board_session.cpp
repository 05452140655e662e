#include "device/board_session.h"

#include "device/program_state.h"

namespace vq {

namespace {
constexpr std::uint32_t kSysCtrl = 0x1004; // bit 2 transmitter enable, bit 3 receiver enable
constexpr std::uint32_t kMacVersion = 0x1000;
constexpr std::uint32_t kTxRxEnable = 0xC;
} // namespace

void BeginBoardSession(CDeviceCommands& dev, bool efuse) {
    dev.StartAte();
    State().eepromSource = efuse ? EepromSourceKind::Efuse : EepromSourceKind::EepromCommands;
    State().efuseChosen = efuse;
    // The version is read once; its value is not needed.
    std::uint32_t version = 0;
    dev.MacRead(kMacVersion, version);
    State().chipRevision = 0x60000000;
    State().efuseUpperByte = 1019;
    State().efuseLowerByte = 960;
    State().efuseBlocks = 60;
}

void EndBoardSession(CDeviceCommands& dev) {
    std::uint32_t sysCtrl = 0;
    // After a failed read a blind write would clear every other bit.
    if (dev.MacRead(kSysCtrl, sysCtrl) == 0) dev.MacWrite(kSysCtrl, sysCtrl | kTxRxEnable);
    dev.StopAte();
}

} // namespace vq
