// The optional measurement library libOstra.so and its RX EVM export
//     extern "C" double fnRXEVM(const int32_t* i, const int32_t* q);
// which takes the 8192 I and the 8192 Q values of a capture and returns the
// EVM in dB (possibly not a number). Looked for in the executable's folder
// first, then on the normal library path.
#pragma once

#include <QLibrary>
#include <QStringList>

#include <cstdint>
#include <memory>

namespace vq {

using RxEvmFunction = double (*)(const std::int32_t* i, const std::int32_t* q);

class OstraLibrary {
  public:
    OstraLibrary() = default;
    ~OstraLibrary() { Unload(); }
    OstraLibrary(const OstraLibrary&) = delete;
    OstraLibrary& operator=(const OstraLibrary&) = delete;

    // True when the library loaded and exports fnRXEVM.
    bool Load();
    void Unload();
    RxEvmFunction RxEvm() const { return rxEvm_; }

    // Where Load() looks, in order: file names, or a bare name for the
    // system's library path.
    static QStringList Candidates();
    // Replaces the candidates (tests); an empty list restores the default.
    static void SetCandidates(const QStringList& candidates);

  private:
    std::unique_ptr<QLibrary> library_;
    RxEvmFunction rxEvm_ = nullptr;
};

} // namespace vq
