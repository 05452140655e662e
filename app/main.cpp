// VQ9447 QA: bench and QA tool for the VQ9447 Wi-Fi SoC's test agent.
#include "app/artwork.h"
#include "app/command_line.h"
#include "app/kalvik_app.h"
#include "base/services.h"
#include "ui/ui_services.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

// Answered before Qt starts, so it works without a display.
bool PrintHelpOrVersion(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "-h") || !std::strcmp(argv[i], "--help")) {
            std::fputs("usage: vq9447qa [-f] [-r] [-i] [-p] [Qt options]\n"
                       "Bench and QA tool for the VQ9447 Wi-Fi SoC: talks to the board's test agent over raw\n"
                       "Ethernet (ethertype 0x2880) on the adapter chosen at start-up.\n"
                       "Optional pages, by letter anywhere in an argument:\n"
                       "  f  PCIe error reporting    r  RF BIST\n"
                       "  i  IQ calibration          p  PAPD test\n"
                       "Environment:\n"
                       "  VQ9447_SIMULATOR=1         offer the simulated board in the Select Adapter dialog\n"
                       "  VQ9447_UNLISTED_PAGES=1    add the pages the sheet builds but does not list\n"
                       "Opening an adapter needs CAP_NET_RAW and CAP_NET_ADMIN (the package gives them to\n"
                       "members of the group vq9447).\n"
                       "  -h, --help                 this text\n"
                       "  --version                  the program's version\n",
                       stdout);
            return true;
        }
        if (!std::strcmp(argv[i], "--version")) {
            std::puts("vq9447qa " VQ9447_VERSION);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (PrintHelpOrVersion(argc, argv)) return 0;
    QApplication qt(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("VQ9447QA"));
    QApplication::setOrganizationDomain(QStringLiteral("vq9447qa.example.org"));
    QApplication::setApplicationName(QStringLiteral("VQ9447 QA"));
    QApplication::setApplicationVersion(QStringLiteral(VQ9447_VERSION));
    QApplication::setWindowIcon(vq::ApplicationIcon());
    // The sheet's closing ends the program, never a message box closing first.
    QApplication::setQuitOnLastWindowClosed(false);

    vq::QtPrompter prompter;
    vq::SetPrompter(&prompter);
    int rc = 0;
    {
        vq::CKalvikApp app(vq::ApplicationArguments());
        rc = app.Run();
    }
    vq::SetPrompter(nullptr);
    return rc;
}
