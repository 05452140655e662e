// Fixture of the RF tests: a fresh simulated board on the link, recorded
// messages and pauses, scripted file dialogs and a scratch directory.
#pragma once

#include "agent/inproc_transport.h"
#include "app/core/ui_services.h"
#include "link/commands.h"
#include "link/link_session.h"
#include "link/program_state.h"
#include "link/services.h"

#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vq::test {

class RfBoardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetLink();
        ResetState();
        board = vq::agent::AttachSimulatedBoard();
        SetPrompter(&prompter);
        SetPause(&pause);
        SetFileDialogs(&dialogs);
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override {
        SetFileDialogs(nullptr);
        SetPause(nullptr);
        SetPrompter(nullptr);
        ResetLink();
        ResetState();
    }
    std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }
    QStringList Lines(const std::string& path) const {
        QFile f(QString::fromStdString(path));
        if (!f.open(QIODevice::ReadOnly)) return {};
        QStringList lines = QString::fromLatin1(f.readAll()).split('\n');
        if (!lines.isEmpty() && lines.back().isEmpty()) lines.pop_back();
        return lines;
    }
    void Write(const std::string& path, const char* text) const {
        QFile f(QString::fromStdString(path));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    // Command ids of the exchanges since the log was last cleared.
    std::vector<std::uint16_t> Commands() const {
        std::vector<std::uint16_t> ids;
        for (const auto& e : board->Log())
            ids.push_back(e.commandId);
        return ids;
    }

    std::shared_ptr<vq::agent::BoardModel> board;
    RecordingPrompter prompter;
    RecordingPause pause;
    ScriptedFileDialogs dialogs;
    QTemporaryDir dir;
    CDeviceCommands dev;
};

} // namespace vq::test
