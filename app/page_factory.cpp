#include "app/page_factory.h"

// Which pages exist is decided by __has_include below. A compiler cache in
// direct mode only knows headers that existed at the last compile and would
// keep an old page list; naming __TIME__ in this comment makes ccache hash the
// preprocessed source of this file instead, where a new page header shows.

#include "app/about_page.h"

#if __has_include("txrx/txrx_page.h")
#include "txrx/txrx_page.h"
#define VQ_HAVE_TXRX_PAGE 1
#endif
#if __has_include("registers/eeprom/eeprom_page.h")
#include "registers/eeprom/eeprom_page.h"
#define VQ_HAVE_EEPROM_PAGE 1
#endif
#if __has_include("registers/mac/mac_page.h")
#include "registers/mac/mac_page.h"
#define VQ_HAVE_MAC_PAGE 1
#endif
#if __has_include("registers/bbp/bbp_page.h")
#include "registers/bbp/bbp_page.h"
#define VQ_HAVE_BBP_PAGES 1
#endif
#if __has_include("registers/rf/rf_page.h")
#include "registers/rf/rf_page.h"
#define VQ_HAVE_RF_PAGES 1
#endif

namespace vq {

namespace {

template <class T> QAPage* Make(QWidget* parent) {
    return new T(parent);
}

#ifdef VQ_HAVE_TXRX_PAGE
constexpr auto kTxRx = &Make<CTXRXPage>;
#else
constexpr QAPage* (*kTxRx)(QWidget*) = nullptr;
#endif
#ifdef VQ_HAVE_EEPROM_PAGE
constexpr auto kEeprom = &Make<CEEPROMPage>;
#else
constexpr QAPage* (*kEeprom)(QWidget*) = nullptr;
#endif
#ifdef VQ_HAVE_MAC_PAGE
constexpr auto kMac = &Make<CMACPage>;
#else
constexpr QAPage* (*kMac)(QWidget*) = nullptr;
#endif
#ifdef VQ_HAVE_BBP_PAGES
constexpr auto kBbp1 = &Make<CBBPPage>;
constexpr auto kBbp2 = &Make<CBBPPage2>;
constexpr auto kBbp3 = &Make<CBBPPage3>;
#else
constexpr QAPage* (*kBbp1)(QWidget*) = nullptr;
constexpr QAPage* (*kBbp2)(QWidget*) = nullptr;
constexpr QAPage* (*kBbp3)(QWidget*) = nullptr;
#endif
#ifdef VQ_HAVE_RF_PAGES
constexpr auto kRf1 = &Make<CRFPage>;
constexpr auto kRf2 = &Make<CRFPage2>;
#else
constexpr QAPage* (*kRf1)(QWidget*) = nullptr;
constexpr QAPage* (*kRf2)(QWidget*) = nullptr;
#endif
// The measurement, calibration and PCIe pages are not part of this build.
constexpr QAPage* (*kNotBuilt)(QWidget*) = nullptr;

} // namespace

const std::vector<PageSlot>& PageTable() {
    static const std::vector<PageSlot> table = {
        {1, "CTXRXPage", "TX/RX", 0, kTxRx},
        {2, "CRFBISTPage", "RF BIST", 'r', kNotBuilt},
        {3, "CIQCalibrationPage", "IQ Calibration", 'i', kNotBuilt},
        {4, "CPAPDTESTPage", "PAPD Test Page", 'p', kNotBuilt},
        {5, "CEEPROMPage", "EEPROM", 0, kEeprom},
        {6, "CMACPage", "MAC", 0, kMac},
        {7, "CBBPPage", "BBP Page 1", 0, kBbp1},
        {8, "CBBPPage2", "BBP Page 2", 0, kBbp2},
        {9, "CBBPPage3", "BBP Page 3", 0, kBbp3},
        {10, "CRFPage", "RF Page 1", 0, kRf1},
        {11, "CRFPage2", "RF Page 2", 0, kRf2},
        {12, "CPCIeErrorReportPage", "PCIe Error Reporting", 'f', kNotBuilt},
        {13, "CNoiseLevelPage", "Noise Level", 'f', kNotBuilt},
        {14, "CFftGraphPage", "FFT Graph", 'f', kNotBuilt},
        {15, "CAboutPage", "About", 0, &Make<CAboutPage>},
    };
    return table;
}

bool SlotWanted(const PageSlot& slot, const CQACommandLineInfo& options) {
    switch (slot.option) {
    case 0:
        return true;
    case 'r':
        return options.rfBist;
    case 'i':
        return options.iqCal;
    case 'p':
        return options.papd;
    case 'f':
        return options.pcie;
    default:
        return false;
    }
}

std::vector<QAPage*> CreateSheetPages(const CQACommandLineInfo& options, QWidget* parent) {
    std::vector<QAPage*> pages;
    for (const PageSlot& slot : PageTable())
        if (slot.create && SlotWanted(slot, options)) pages.push_back(slot.create(parent));
    return pages;
}

} // namespace vq
