#include "measure/core/fft.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace vq {

namespace {

// Transforms in[0], in[stride], ... (n values) into out[0..n); scratch holds n
// values. The halves are written into scratch (with out as their scratch),
// then combined into out.
void Transform(const Complex* in, std::size_t stride, Complex* out, Complex* scratch, std::size_t n,
               const double* cosTable, const double* sinTable, std::size_t tableStep) {
    if (n == 2) {
        out[0] = in[0] + in[stride];
        out[1] = in[0] - in[stride];
        return;
    }
    const std::size_t half = n / 2;
    Complex* even = scratch;
    Complex* odd = scratch + half;
    Transform(in, 2 * stride, even, out, half, cosTable, sinTable, 2 * tableStep);
    Transform(in + stride, 2 * stride, odd, out + half, half, cosTable, sinTable, 2 * tableStep);
    for (std::size_t i = 0; i < half; ++i) {
        // θ = 2πi/n: the twiddle e^(-jθ) applied to the odd half.
        const double c = cosTable[i * tableStep], s = sinTable[i * tableStep];
        const double oRe = odd[i].real(), oIm = odd[i].imag();
        const Complex t(oRe * c + oIm * s, oIm * c - oRe * s);
        out[i] = even[i] + t;
        out[i + half] = even[i] - t;
    }
}

} // namespace

void Fft(const Complex* in, Complex* out, std::size_t n) {
    if (n < 2) {
        if (n == 1) out[0] = in[0];
        return;
    }
    // Twiddles of the full size; a sub-transform of size m steps by n/m.
    thread_local std::size_t tableSize = 0;
    thread_local std::vector<double> cosTable, sinTable;
    thread_local std::vector<Complex> scratch;
    if (tableSize != n) {
        cosTable.resize(n / 2);
        sinTable.resize(n / 2);
        for (std::size_t i = 0; i < n / 2; ++i) {
            const double theta = 2 * std::numbers::pi * double(i) / double(n);
            cosTable[i] = std::cos(theta);
            sinTable[i] = std::sin(theta);
        }
        scratch.resize(n);
        tableSize = n;
    }
    Transform(in, 1, out, scratch.data(), n, cosTable.data(), sinTable.data(), 1);
}

} // namespace vq
