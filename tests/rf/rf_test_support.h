// Fixture of the RF tests: a fresh simulated board on the link, recorded
// messages and pauses, scripted file dialogs and a scratch directory.
#pragma once

#include "tests/support/gui_board_fixture.h"

#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace vq::test {

class RfBoardTest : public GuiBoardTest {
  protected:
    void SetUp() override {
        GuiBoardTest::SetUp();
        ASSERT_TRUE(dir.isValid());
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
    QTemporaryDir dir;
    CDeviceCommands dev;
};

} // namespace vq::test
