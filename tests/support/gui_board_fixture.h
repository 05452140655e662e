// BoardTest for the pages: scripted file dialogs in addition. Needs vq_appcore
// (every page library links it).
#pragma once

#include "app/core/ui_services.h"
#include "tests/support/board_fixture.h"

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
