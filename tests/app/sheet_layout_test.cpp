// The whole sheet on a laptop screen and at its own size: no control cut off,
// "Exit" on the screen, every page reachable by scrolling, Escape as "Exit".
// With VQ_SHEET_SCREENSHOTS naming a folder, each page is saved there as PNG.
#include "app_helpers.h"

#include "app/property_sheet.h"
#include "txrx/txrx_page.h"
#include "ui/qa_page.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>

using namespace vq;
using vqtest::ShellTest;

namespace {

// The TX/RX page's "Mode" list, "MPDU density" field and the "MAC Address" field below it.
constexpr int kModeList = 1066, kDensity = 1261, kMacAddress = 1070;

// The width and height a control needs to show its whole text.
QSize Needed(QWidget* w) {
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        // A list as wide as its longest entry, whatever policy the page set.
        QComboBox probe;
        probe.setFont(combo->font());
        for (int i = 0; i < combo->count(); ++i)
            probe.addItem(combo->itemText(i));
        probe.setSizeAdjustPolicy(QComboBox::AdjustToContents);
        return probe.sizeHint();
    }
    if (auto* button = qobject_cast<QPushButton*>(w)) {
        // The style's minimum button width is no clipping: the text is what must fit.
        QString text = button->text();
        text.remove(QLatin1Char('&'));
        return {button->fontMetrics().horizontalAdvance(text) + 6, button->fontMetrics().height()};
    }
    return w->sizeHint();
}

// Controls of `page` whose text does not fit, as "caption: class 'text' w x h < W x H".
QStringList Clipped(QAPage* page) {
    QStringList out;
    for (QWidget* w : page->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(page)) continue;
        QString text;
        if (auto* l = qobject_cast<QLabel*>(w)) {
            if (l->wordWrap() || !l->pixmap().isNull() || l->text().isEmpty()) continue;
            text = l->text();
        } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            if (b->text().isEmpty()) continue;
            text = b->text();
        } else if (auto* c = qobject_cast<QComboBox*>(w)) {
            if (c->count() == 0) continue;
            text = c->currentText();
        } else {
            continue;
        }
        const QSize need = Needed(w);
        if (w->width() < need.width() || w->height() < need.height())
            out << QStringLiteral("%1: %2 '%3' %4x%5 < %6x%7")
                       .arg(page->Caption(), w->metaObject()->className(), text)
                       .arg(w->width())
                       .arg(w->height())
                       .arg(need.width())
                       .arg(need.height());
    }
    return out;
}

} // namespace

TEST_F(ShellTest, NoControlIsCutOffOnAnyPageAtLaptopOrFullSize) {
    auto& a = MakeApp({"-frip"});
    a.runAdapterDialog = [](CSelectAdapterDlg& d) {
        d.OkButton()->click();
        return d.result() == QDialog::Accepted;
    };
    ASSERT_TRUE(a.InitInstance());
    CQAPropertySheet* sheet = a.PropertySheet();
    ASSERT_NE(sheet, nullptr);
    // Shown the first time, the sheet is fitted to its screen.
    ASSERT_NE(sheet->screen(), nullptr);
    EXPECT_TRUE(sheet->screen()->availableGeometry().contains(sheet->frameGeometry()));
    const QString shots = qEnvironmentVariable("VQ_SHEET_SCREENSHOTS");
    struct Screen {
        const char* name;
        QRect area;
    } screens[] = {{"1366x768", QRect(0, 0, 1366, 768)}, {"1600x1000", QRect(0, 0, 1600, 1000)}};
    for (const Screen& screen : screens) {
        SCOPED_TRACE(screen.name);
        sheet->FitTo(screen.area);
        QApplication::processEvents();
        // The window and its way out are on the screen.
        EXPECT_LE(sheet->width(), screen.area.width());
        EXPECT_LE(sheet->height(), screen.area.height());
        const QRect exitRect(sheet->ExitButton()->mapTo(sheet, QPoint(0, 0)), sheet->ExitButton()->size());
        EXPECT_TRUE(sheet->rect().contains(exitRect));
        EXPECT_TRUE(sheet->ExitButton()->isVisible());
        for (int i = 0; i < sheet->PageCount(); ++i) {
            ASSERT_TRUE(sheet->SetActivePage(i));
            QApplication::processEvents();
            QAPage* page = sheet->Page(i);
            SCOPED_TRACE(page->Caption().toStdString());
            // A page smaller than its layout would cut controls: it scrolls instead.
            EXPECT_GE(page->width(), page->minimumSizeHint().width());
            EXPECT_GE(page->height(), page->minimumSizeHint().height());
            for (const QString& c : Clipped(page))
                ADD_FAILURE() << c.toStdString();
            // The TX/RX lists change with the PHY mode ("Rate" grows longest in HT),
            // and the "MPDU density" row keeps its place when it is hidden.
            if (auto* txrx = qobject_cast<CTXRXPage*>(page)) {
                QWidget* density = txrx->Control(kDensity);
                QWidget* below = txrx->Control(kMacAddress);
                ASSERT_TRUE(density && below);
                const bool shown = density->isVisible();
                const int y = below->mapTo(page, QPoint(0, 0)).y();
                density->setVisible(!shown);
                QApplication::processEvents();
                EXPECT_EQ(below->mapTo(page, QPoint(0, 0)).y(), y);
                density->setVisible(shown);
                auto* mode = qobject_cast<QComboBox*>(txrx->Control(kModeList));
                ASSERT_NE(mode, nullptr);
                for (int m = mode->count() - 1; m >= 0; --m) {
                    mode->setCurrentIndex(m);
                    emit mode->activated(m);
                    QApplication::processEvents();
                    for (const QString& c : Clipped(page))
                        ADD_FAILURE() << mode->itemText(m).toStdString() << ": " << c.toStdString();
                }
            }
            if (!shots.isEmpty())
                sheet->grab().save(QDir(shots).filePath(
                    QStringLiteral("%1_%2.png").arg(screen.name).arg(i)));
        }
    }
    // At full size nothing scrolls.
    const auto* holder = qobject_cast<QScrollArea*>(sheet->Tabs()->currentWidget());
    ASSERT_NE(holder, nullptr);
    EXPECT_FALSE(holder->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(holder->verticalScrollBar()->isVisible());

    // Escape in a page's field is the sheet's Cancel button: "Exit".
    ASSERT_TRUE(sheet->SetActivePage(0));
    QLineEdit* field = sheet->Page(0)->findChild<QLineEdit*>();
    ASSERT_NE(field, nullptr);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(field, &escape);
    EXPECT_TRUE(sheet->Closed());
    a.ExitInstance();
}
