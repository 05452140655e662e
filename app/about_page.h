// About page: program and firmware versions and the project's web address.
#pragma once

#include "ui/qa_page.h"

#include <QUrl>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vq {

constexpr const char* kProjectUrl = "https://vq9447qa.example.org";

class CAboutPage : public QAPage {
    Q_OBJECT
  public:
    explicit CAboutPage(QWidget* parent = nullptr);

    QLineEdit* FirmwareField() const { return firmware_; }
    QPushButton* WebButton() const { return web_; }
    QLabel* Banner() const { return banner_; }

  protected:
    void OnInitDialog() override;

  private:
    QLabel* banner_;
    QLineEdit* firmware_;
    QPushButton* web_;
};

} // namespace vq
