// The tool's one window: a tabbed sheet of pages with the services through
// which pages act on each other.
#pragma once

#include "app/command_line.h"
#include "ui/sheet_services.h"

#include <QStringList>
#include <QWidget>
#include <vector>

class QPushButton;
class QTabWidget;

namespace vq {

class QAPage;

constexpr const char* kSheetTitle = "VQ9447 QA V1.0.6.0";

class CQAPropertySheet : public QWidget, public SheetDispatcher {
    Q_OBJECT
  public:
    // Constructs the pages of these options that this build has.
    explicit CQAPropertySheet(const CQACommandLineInfo& options, QWidget* parent = nullptr);
    // Hosts the given pages (tests).
    explicit CQAPropertySheet(const std::vector<QAPage*>& pages, QWidget* parent = nullptr);
    ~CQAPropertySheet() override;

    int PageCount() const;
    QAPage* Page(int index) const;
    QStringList Captions() const;
    QAPage* ActivePage() const;
    int ActiveIndex() const { return active_; }
    // Shows page `index` as if its tab had been clicked. False when the
    // shown page refused to be left.
    bool SetActivePage(int index);

    QTabWidget* Tabs() const { return tabs_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* ExitButton() const { return exit_; }
    bool Closed() const { return closed_; }

    // Closes the sheet from the event loop (a page may ask from inside its own handler).
    void CloseMainWindow() override;

  signals:
    void closed();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void Build(const std::vector<QAPage*>& pages);
    void OnCurrentChanged(int index);

    QTabWidget* tabs_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* exit_ = nullptr;
    int active_ = -1;
    bool shown_ = false;
    bool reverting_ = false;
    bool closed_ = false;
};

} // namespace vq
