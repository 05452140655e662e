// The sheet's pages in their order. A page whose module is not part of this
// build has no creator and is left out of the sheet.
#pragma once

#include "app/command_line.h"

#include <vector>

class QWidget;

namespace vq {

class QAPage;

struct PageSlot {
    int position; // 1-based place in the sheet's order
    const char* className;
    const char* caption;
    char option;                        // command-line letter that adds the page; 0: always present
    QAPage* (*create)(QWidget* parent); // null: not in this build
};

// All fifteen slots in sheet order.
const std::vector<PageSlot>& PageTable();
// Whether the slot's page belongs in a sheet with these options.
bool SlotWanted(const PageSlot& slot, const CQACommandLineInfo& options);
// Constructs the wanted pages that this build has, in sheet order.
std::vector<QAPage*> CreateSheetPages(const CQACommandLineInfo& options, QWidget* parent = nullptr);

} // namespace vq
