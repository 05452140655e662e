// LO feed-through (LOFT) and IQ imbalance searches of the transmitter and the
// receiver. Every candidate setting is written to the baseband's compensation
// registers (indirect table behind R158/R159), the measurement engine is
// started and its two 17-bit results Yi and Yq are read back; their power is
// logged and the lowest one wins. Each search first sweeps the two registers
// of a pair one at a time, then a small window around both minima.
#pragma once

#include "device/device_commands.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vq {

// ---- Tables ------------------------------------------------------------------

// By the "RF ALC" index 0..3: BBP R23 and indirect 0xB0.
constexpr std::array<std::uint8_t, 4> kAlcR23 = {0x18, 0x12, 0x0E, 0x0C};
constexpr std::array<std::uint8_t, 4> kAlcB0 = {0x80, 0x81, 0x82, 0x83};
inline bool AlcValid(int alc) {
    return alc >= 0 && alc <= 3;
}

// 6-bit two's complement, -16..+30.
const std::array<std::uint8_t, 47>& LoftTable();
// 4-bit two's complement, -7..+8.
const std::array<std::uint8_t, 16>& IqTableA();
// 6-bit, -16..+15, then 0x00 once more.
const std::array<std::uint8_t, 33>& IqTableB();

// The BBP registers a reset writes back, in this order.
constexpr std::array<std::uint8_t, 10> kSavedBbpRegisters = {1, 62, 63, 64, 65, 66, 68, 70, 73, 74};

// ---- Measurement -------------------------------------------------------------

// A 17-bit two's complement reading (bits above 16 ignored).
int SignedReading17(std::uint32_t raw);
// 10 x log10(Yi^2 + Yq^2), the sum taken in 64 bits: two readings of -65536
// would wrap a 32-bit sum to zero.
double PowerDb(int yi, int yq);

struct Measurement {
    int yi = 0;
    int yq = 0;
    double ypwr = 0;
};

// ---- Point generators and the minimum rule ----------------------------------

// Table positions first, first + step, ... up to last.
std::vector<int> AxisPositions(int first, int last, int step);
// centre - window .. centre + window clipped to 0..maxPosition.
std::pair<int, int> WindowRange(int centre, int window, int maxPosition);
// Every (a, b) of the two ranges, a outer.
std::vector<std::pair<int, int>> GridPositions(std::pair<int, int> a, std::pair<int, int> b);

// Lowest power seen: a value replaces the minimum only when strictly below
// it, so the first of equal values stays.
struct MinimumRule {
    double minimum = 1000.0;
    int first = 0;
    int second = 0;
    bool Offer(double ypwr, int a, int b = 0);
};

struct AxisResult {
    bool ran = false;       // false: the log file could not be created, nothing was measured
    bool complete = false;  // every point measured (not cancelled, board answering)
    int position = 0;       // table position of the minimum
    double minimum = 1000.0;
    int steep = 0;          // the last point lies more than 5 dB above the minimum
    int points = 0;
};

struct GridResult {
    bool ran = false;
    bool complete = false;
    int first = 0; // table positions of the minimum
    int second = 0;
    double minimum = 1000.0;
    int points = 0;
};

// Second-phase windows of "Full LOFT": (AC window, AD window).
std::pair<int, int> LoftWindows(const AxisResult& ac, const AxisResult& ad);
// "Full IQ": (0x28 window, 0x29 window); "Rx0 IQ": (0x37 window, 0x35 window).
std::pair<int, int> TxIqWindows(const AxisResult& r28, const AxisResult& r29);
std::pair<int, int> RxIqWindows(const AxisResult& r37, const AxisResult& r35);

// ---- The searches as device operations -----------------------------------------

// What the operator set on the page.
struct IqSettings {
    int alc = 0;      // "RF ALC", 0..3
    int rfVga = 0;    // "RF VGA", written to RF bank 5 R3 by the TX searches
    bool tx1 = false; // " Tx1": the LOFT values of the IQ search go to 0xB8/0xB9
    int ac = 0;       // "AC/B1", "AD/B2": LOFT values during the TX IQ search
    int ad = 0;
};

// A message for the operator, shown after the search in this order.
struct IqNote {
    std::string text;
    bool error = false; // error icon; else information
};

// Progress after each point: the stage ("LOFT AC"), the point count in it,
// and the log lines written so far. False stops after this point.
struct IqProgress {
    std::string stage;
    int point = 0;
    int total = 0;
    std::vector<std::string> lines; // only the lines new since the last report
};
using IqProgressFn = std::function<bool(const IqProgress&)>;

enum class LoftAxis { AC, AD };       // sweeps 0xB1 / 0xB2
enum class TxIqAxis { R28, R29 };     // indirect 0x28 over table A / 0x29 over table B
enum class RxIqAxis { R37, R35 };     // indirect 0x37 over table A / 0x35 over table B

class IqCalibration {
  public:
    // Measurement indices the searches put into "idx".
    static constexpr int kLoftIndex = 10, kTxIqIndex = 20, kRxIqIndex = 54;

    // The ten BBP registers as they are now; every reset writes them back.
    void SaveRegisters(CDeviceCommands& dev);
    const std::array<std::uint8_t, 10>& Saved() const { return saved_; }

    // Baseband reset (MAC 0x1004 bit 1 pulsed for 100 ms), then the saved registers.
    void Reset(CDeviceCommands& dev) const;
    static void MeasurementStartTx(CDeviceCommands& dev);
    // One result of the engine: Yq when `quadrature`.
    static int ReadResult(CDeviceCommands& dev, int index, bool quadrature);
    static Measurement ReadMeasurement(CDeviceCommands& dev, int index);
    // "Calibration": start (TX) and read.
    static Measurement Calibrate(CDeviceCommands& dev, int index);
    static void AuxLoopback(CDeviceCommands& dev);

    // Log files go to this folder (empty: the current directory).
    std::string logDirectory;

    // Each search writes its log file, fills `notes` with what to show and
    // stops after the point at which `progress` returns false.
    AxisResult LoftSearch(CDeviceCommands& dev, LoftAxis axis, const IqSettings& s, std::vector<IqNote>& notes,
                          const IqProgressFn& progress = {});
    GridResult FullLoft(CDeviceCommands& dev, const IqSettings& s, std::vector<IqNote>& notes,
                        const IqProgressFn& progress = {});
    AxisResult TxIqSearch(CDeviceCommands& dev, TxIqAxis axis, const IqSettings& s, std::vector<IqNote>& notes,
                          const IqProgressFn& progress = {});
    GridResult FullTxIq(CDeviceCommands& dev, const IqSettings& s, std::vector<IqNote>& notes,
                        const IqProgressFn& progress = {});
    GridResult FullRxIq(CDeviceCommands& dev, const IqSettings& s, std::vector<IqNote>& notes,
                        const IqProgressFn& progress = {});

    // "RF ALC must be 0 to 3." when it is not (nothing else is done).
    static std::string AlcRefusal();
    // "Can't Open File \"<name>\"".
    static std::string OpenFailureText(const std::string& name);

  private:
    struct Log;
    bool Cancelled(const IqProgressFn& progress, Log& log, const char* stage, int point, int total);
    void TxPreparation(CDeviceCommands& dev, const IqSettings& s) const;
    AxisResult RxIqSearch(CDeviceCommands& dev, RxIqAxis axis, const IqSettings& s, std::vector<IqNote>& notes,
                          const IqProgressFn& progress);
    std::string PathOf(const std::string& name) const;

    std::array<std::uint8_t, 10> saved_{};
};

} // namespace vq
