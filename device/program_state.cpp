#include "device/program_state.h"

#include <new>

namespace vq {

namespace {
ProgramState g_state;
}

ProgramState& State() { return g_state; }

void ResetState() {
    g_state.~ProgramState();
    new (&g_state) ProgramState();
}

} // namespace vq
