#include "registers/rf/rf_page.h"

#include <QBoxLayout>

namespace vq {

CRFPage2::CRFPage2(QWidget* parent)
    : CRFBankPage(QStringLiteral("RF Page 2"), 32, {1390, 2010, 1922, 2004, 2018, 1916}, parent) {
    outer_->addStretch();
}

void CRFPage2::OnInitDialog() {
    InitAccessControls();
    Refresh();
    ControlsToValues();
}

void CRFPage2::OnSetActive() {
    ValuesToControls();
    ShowCurrentBank();
}

} // namespace vq
