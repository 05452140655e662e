#include "link/efuse.h"

#include "link/services.h"

namespace vq {

// The eFuse route is not available yet: every access fails visibly.
int EfuseLogicalReadWord(CDeviceCommands&, std::uint16_t, std::uint16_t&) {
    ShowMessage("eFuse access is not available in this build", MsgIcon::Critical);
    return 1;
}
int EfuseLogicalWriteWord(CDeviceCommands&, std::uint16_t, std::uint16_t) {
    ShowMessage("eFuse access is not available in this build", MsgIcon::Critical);
    return 1;
}
int EfuseFreeBlocks(CDeviceCommands&) { return 0; }
int EfuseFreeBlocksAfterWordWrite(CDeviceCommands&, std::uint16_t, std::uint16_t) { return 0x8000; }

} // namespace vq
