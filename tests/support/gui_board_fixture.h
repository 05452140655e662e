// BoardTest for the pages: scripted file dialogs in addition. Needs vq_appcore
// (every page library links it).
#pragma once

#include "tests/support/board_fixture.h"
#include "ui/ui_services.h"

namespace vq::test {

class GuiBoardTest : public BoardTest {
  protected:
    void SetUp() override {
        BoardTest::SetUp();
        SetFileDialogs(&dialogs);
    }
    void TearDown() override {
        SetFileDialogs(nullptr);
        BoardTest::TearDown();
    }

    ScriptedFileDialogs dialogs;
};

} // namespace vq::test
