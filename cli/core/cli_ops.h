// The operations behind the commands of vq9447-cli. Each runs inside the open
// session, prints its results through the context's output and returns an
// exit status (0, or 1 when a board command failed).
#pragma once

#include "cli/core/cli_commands.h"

#include <cstdint>
#include <string>

namespace vq::cli {

enum class RegisterKind { Mac, Bbp, Rf };

int MacReadOp(Context& c, std::uint32_t address, std::uint32_t count);
int MacWriteOp(Context& c, std::uint32_t address, std::uint32_t value);
// Region index of a MAC page region name (case, blanks, dashes and
// underscores ignored); -1 when there is none.
int MacRegionIndex(const std::string& name);
std::string MacRegionNames();
int MacLoadRegionOp(Context& c, int region, const std::string& path);
int MacSaveRegionOp(Context& c, int region, const std::string& path);
int BbpReadOp(Context& c, unsigned reg);
int BbpWriteOp(Context& c, unsigned reg, std::uint8_t value);
int RfReadOp(Context& c, int bank, int reg);
int RfWriteOp(Context& c, int bank, int reg, std::uint8_t value);
int RfDumpOp(Context& c);
int ScriptOp(Context& c, RegisterKind kind, const std::string& path);
int RegfileOp(Context& c, RegisterKind kind, bool load, const std::string& path);
int EepromReadOp(Context& c, int offset, int length);
int EepromSaveOp(Context& c, const std::string& path);
int EepromLoadOp(Context& c, const std::string& path);
int EepromWriteWordOp(Context& c, std::uint16_t offset, std::uint16_t value);
int EepromSetMacOp(Context& c, int which, const std::string& digits);

int TxRxInitOp(Context& c);
struct TxRequest {
    int channel = 1;   // channel number 1..14
    int mode = 1;      // 0 CCK, 1 OFDM, 2 HT mixed, 3 HT greenfield
    int rate = 0;      // index into the mode's rate list
    int bandwidth = 1; // 0 "10", 1 "20", 2 "40"
    std::uint32_t count = 1;
    int power = -1; // TX power trim of path 0, -1: as the EEPROM has it
};
int TxOp(Context& c, const TxRequest& r);
int RxOp(Context& c, int seconds);

struct CaptureRequestArgs {
    std::string file;
    std::uint32_t times = 1;
    bool feq = false, adc6 = false, tx = false, manual = false;
    std::uint32_t offset = 0x200;
};
int CaptureOp(Context& c, const CaptureRequestArgs& r);
struct FftRequestArgs {
    int bandwidth = 20;  // MHz of the spectrum: 20 or 40
    bool spectrum = false; // print the 512 points
    std::string adcFile;   // "Save ADC Data" of the capture, when set
};
int FftOp(Context& c, const FftRequestArgs& r);

// The noise level sweep of the 2.4 GHz band, one result per channel and path.
int NoiseOp(Context& c);
struct IqCalArgs {
    enum class Search { Loft, TxIq, RxIq } search = Search::Loft;
    int alc = 0, vga = 0;
    std::string logDirectory;
};
int IqCalOp(Context& c, const IqCalArgs& r);

// "CCK", "OFDM", "HTMIX", "HTGF" or a digit 0..3; -1 otherwise.
int ModeFromText(const std::string& text);
unsigned RateCount(int mode);
// The rate lists of every mode, for the help text.
std::string RateListText();

} // namespace vq::cli
