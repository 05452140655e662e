// Scope of a composite device sequence: several exchanges that belong
// together (the R66 fan-out, an RF access through MAC 0x500, an eFuse
// operation). Each exchange is already atomic under the link's exchange
// lock; a sequence is not, so another thread's exchange may land between two
// of its steps. This scope is where a lock for the whole sequence goes; for
// now it holds nothing and changes no timing.
#pragma once

namespace vq {

class DeviceTransaction {
  public:
    DeviceTransaction() {}
    ~DeviceTransaction() {}
    DeviceTransaction(const DeviceTransaction&) = delete;
    DeviceTransaction& operator=(const DeviceTransaction&) = delete;
};

} // namespace vq
