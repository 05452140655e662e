// How a front end starts and ends its session with the board: the GUI and the
// command-line tool put the board into and out of its test mode alike.
#pragma once

#include "device/device_commands.h"

namespace vq {

// Test mode on (Start ATE), the EEPROM source of the session (`efuse`: the
// eFuse, else the EEPROM commands), one read of the version register and the
// constants of this chip revision.
void BeginBoardSession(CDeviceCommands& dev, bool efuse);
// What "Exit" leaves on the board: transmitter and receiver enables of MAC
// 0x1004 set again (only when the register could be read), then Stop ATE.
void EndBoardSession(CDeviceCommands& dev);

} // namespace vq
