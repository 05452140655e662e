// "PAPD Test Page": the predistortion test memories (PBF, data scope, shared
// memory and the combined table) to and from text files.
#pragma once

#include "ui/qa_page.h"

#include <string>

class QCheckBox;
class QPushButton;

namespace vq {

class CPAPDTESTPage : public QAPage {
    Q_OBJECT
  public:
    explicit CPAPDTESTPage(QWidget* parent = nullptr);
    QCheckBox* PapdMode() const { return papdMode_; }

  public slots:
    void OnPbfRead();
    void OnPbfWrite();
    void OnScopeRead();
    void OnScopeWrite();
    void OnSharedRead();
    void OnSharedWrite();
    void OnTableRead();
    void OnTableWrite();

  private:
    // The chosen file ("" after Cancel or a refused replacement).
    std::string AskSave(const char* filter, const char* title);
    std::string AskOpen(const char* filter, const char* title);
    QCheckBox* papdMode_ = nullptr;
};

} // namespace vq
