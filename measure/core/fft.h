// Forward discrete Fourier transform X[k] = sum x[n] e^(-j2πkn/N), unscaled:
// radix-2 decimation in time, recursive and out of place.
#pragma once

#include <complex>
#include <cstddef>

namespace vq {

using Complex = std::complex<double>;

// `n` must be a power of two (at least 2); `in` and `out` must not overlap.
void Fft(const Complex* in, Complex* out, std::size_t n);

} // namespace vq
