// The sheet's pages: the fifteen positions in their order and the four pages
// the sheet constructs without listing them. Every page the tree has is an
// entry with its creator; a page not built yet is an entry marked kNotBuilt.
#pragma once

#include "app/command_line.h"

#include <vector>

class QWidget;

namespace vq {

class QAPage;

using PageCreator = QAPage* (*)(QWidget* parent);
// Creator of a page that is not part of the tree yet.
constexpr PageCreator kNotBuilt = nullptr;

struct PageSlot {
    int position; // 1-based place in the sheet's order; 0 for an unlisted page
    const char* className;
    const char* caption;
    char option;        // command-line letter that adds the page; 0: always present
    PageCreator create; // kNotBuilt: left out of the sheet
};

// The fifteen listed positions in sheet order.
const std::vector<PageSlot>& PageTable();
// PCI Config, Sniffer, NHM test and RF calibration.
const std::vector<PageSlot>& UnlistedPages();
// Whether the slot's page belongs in a sheet with these options.
bool SlotWanted(const PageSlot& slot, const CQACommandLineInfo& options);
// VQ9447_UNLISTED_PAGES=1 in the environment: the built unlisted pages follow
// the listed ones. The command-line letters never add them.
bool UnlistedPagesRequested();
// Constructs the wanted built pages in sheet order, then the built unlisted
// pages when `withUnlisted`.
std::vector<QAPage*> CreateSheetPages(const CQACommandLineInfo& options, bool withUnlisted,
                                      QWidget* parent = nullptr);

} // namespace vq
