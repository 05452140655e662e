// Start-up options: letters in the command-line arguments add optional pages.
#pragma once

#include <QStringList>

namespace vq {

class CQACommandLineInfo {
  public:
    bool rfBist = false; // r: RF BIST
    bool iqCal = false;  // i: IQ Calibration
    bool papd = false;   // p: PAPD Test Page
    bool pcie = false;   // f: PCIe Error Reporting, Noise Level, FFT Graph

    // Every argument (without the program name) is searched for the lower-case
    // letters anywhere in it; a leading "-" or "/" is only a switch character.
    void Parse(const QStringList& arguments);
    void ParseParam(const QString& argument);
    // Copies the options into the program-wide state.
    void Apply() const;
};

// The command-line arguments left after Qt has taken its own options
// ("-platform offscreen", "-style ..."), without the program name.
QStringList ApplicationArguments();

} // namespace vq
