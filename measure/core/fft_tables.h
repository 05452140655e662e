// Fixed tables of the spectrum display: the 512-point FFT window, the noise
// spectrum of the reference ("golden") unit, and the centre frequency of each
// channel of the channel list.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace vq {

constexpr int kFftSize = 512;

// w[0] = 0, w[256] = 1, symmetric (w[n] = w[512 - n]), rising over 0..256.
const std::array<double, kFftSize>& FftWindow();
// dB by bin, entry i plotted at (i - 256) x bandwidth / 256.
const std::array<double, kFftSize>& GoldenNoise();
// Centre frequency in MHz of entry `index` of the channel list (2412 for an
// index outside the table).
int CentreFrequencyMHz(int index);
int CentreFrequencyCount();

// Monotone piecewise-cubic (Fritsch-Carlson) interpolation through the knots
// (x strictly increasing), sampled at 0, 1, ..., count - 1. Passes exactly
// through every knot and never overshoots between two of them.
std::vector<double> MonotoneCurve(const std::vector<double>& x, const std::vector<double>& y, int count);

} // namespace vq
