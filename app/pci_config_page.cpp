#include "app/pci_config_page.h"

namespace vq {

CPCIConfigPage::CPCIConfigPage(QWidget* parent) : QAPage("PCI Config", parent) {}

} // namespace vq
