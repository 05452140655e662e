// PCI Config page: a page of the sheet with no controls and no behaviour of
// its own; it is constructed but only shown among the unlisted pages.
#pragma once

#include "ui/qa_page.h"

namespace vq {

class CPCIConfigPage : public QAPage {
    Q_OBJECT
  public:
    explicit CPCIConfigPage(QWidget* parent = nullptr);
};

} // namespace vq
