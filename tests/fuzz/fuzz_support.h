// What the fuzz targets share: the input as a file the loaders can open, and
// a simulated board behind the link that answers every command.
#pragma once

#include "agent/board_model.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vq::fuzz {

// The bytes as an unnamed in-memory file; Path() opens it like any file.
class MemoryFile {
  public:
    MemoryFile(const std::uint8_t* data, std::size_t size);
    ~MemoryFile();
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    const std::string& Path() const { return path_; }

  private:
    int fd_ = -1;
    std::string path_;
};

// The link attached to a simulated board (made once, reset for every input),
// messages answered Yes/OK without being kept, pauses without waiting.
agent::BoardModel& SimulatedBoard();

} // namespace vq::fuzz
