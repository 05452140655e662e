#include "ui/qa_page.h"

namespace vq {

QAPage::QAPage(const QString& caption, QWidget* parent) : QWidget(parent), caption_(caption) {}

void QAPage::Activate() {
    if (!initialised_) {
        initialised_ = true;
        OnInitDialog();
    }
    OnSetActive();
}

} // namespace vq
