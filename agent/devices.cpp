#include "agent/board_model.h"

namespace vq::agent {

// Every peripheral of the simulated chip, one line each.
void InstallStandardDevices(BoardModel& board) {
    (void)board;
}

} // namespace vq::agent
