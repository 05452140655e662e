#include "app/page_list.h"

#include "app/about_page.h"
#include "app/pci_config_page.h"
#include "calibration/iq_calibration_page.h"
#include "calibration/papd/papd_test_page.h"
#include "calibration/rf_bist_page.h"
#include "calibration/rf_calibration_page.h"
#include "measure/fft_graph_page.h"
#include "measure/nhm/nhm_page.h"
#include "measure/noise/noise_level_page.h"
#include "measure/sniffer/sniffer_page.h"
#include "pci/pcie_error_page.h"
#include "registers/bbp/bbp_page.h"
#include "registers/eeprom/eeprom_page.h"
#include "registers/mac/mac_page.h"
#include "registers/rf/rf_page.h"
#include "txrx/txrx_page.h"

#include <QByteArray>
#include <QtGlobal>

namespace vq {

namespace {

template <class T> QAPage* Make(QWidget* parent) {
    return new T(parent);
}

} // namespace

const std::vector<PageSlot>& PageTable() {
    static const std::vector<PageSlot> table = {
        {1, "CTXRXPage", "TX/RX", 0, &Make<CTXRXPage>},
        {2, "CRFBISTPage", "RF BIST", 'r', &Make<CRFBISTPage>},
        {3, "CIQCalibrationPage", "IQ Calibration", 'i', &Make<CIQCalibrationPage>},
        {4, "CPAPDTESTPage", "PAPD Test Page", 'p', &Make<CPAPDTESTPage>},
        {5, "CEEPROMPage", "EEPROM", 0, &Make<CEEPROMPage>},
        {6, "CMACPage", "MAC", 0, &Make<CMACPage>},
        {7, "CBBPPage", "BBP Page 1", 0, &Make<CBBPPage>},
        {8, "CBBPPage2", "BBP Page 2", 0, &Make<CBBPPage2>},
        {9, "CBBPPage3", "BBP Page 3", 0, &Make<CBBPPage3>},
        {10, "CRFPage", "RF Page 1", 0, &Make<CRFPage>},
        {11, "CRFPage2", "RF Page 2", 0, &Make<CRFPage2>},
        {12, "CPCIeErrorReportPage", "PCIe Error Reporting", 'f', &Make<CPCIeErrorReportPage>},
        {13, "CNoiseLevelPage", "Noise Level", 'f', &Make<CNoiseLevelPage>},
        {14, "CFftGraphPage", "FFT Graph", 'f', &Make<CFftGraphPage>},
        {15, "CAboutPage", "About", 0, &Make<CAboutPage>},
    };
    return table;
}

const std::vector<PageSlot>& UnlistedPages() {
    static const std::vector<PageSlot> table = {
        {0, "CPCIConfigPage", "PCI Config", 0, &Make<CPCIConfigPage>},
        {0, "CSnifferPage", "Sniffer", 0, &Make<CSnifferPage>},
        {0, "CNHMPage", " NHM Test Page", 0, &Make<CNHMPage>},
        {0, "CRfCalibration", "Calibration", 0, &Make<CRfCalibration>},
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

bool UnlistedPagesRequested() {
    return qgetenv("VQ9447_UNLISTED_PAGES") == "1";
}

std::vector<QAPage*> CreateSheetPages(const CQACommandLineInfo& options, bool withUnlisted, QWidget* parent) {
    std::vector<QAPage*> pages;
    for (const PageSlot& slot : PageTable())
        if (slot.create && SlotWanted(slot, options)) pages.push_back(slot.create(parent));
    if (withUnlisted)
        for (const PageSlot& slot : UnlistedPages())
            if (slot.create) pages.push_back(slot.create(parent));
    return pages;
}

} // namespace vq
