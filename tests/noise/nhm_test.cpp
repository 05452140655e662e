#include "measure/nhm/nhm_page.h"

#include "agent/nhm.h"
#include "measure/nhm/core/nhm_run.h"
#include "tests/support/gui_board_fixture.h"
#include "tests/support/test_sheet.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <atomic>

using namespace vq;
using nhm::Measurement;

namespace {

class NhmTest : public test::GuiBoardTest, protected test::ScratchFiles {
  protected:
    NhmTest() : ScratchFiles("vq_nhm_") {}
    void SetUp() override {
        GuiBoardTest::SetUp();
        engine = board->Device<agent::NhmDevice>();
        // Board time moves only with the measurement's own pauses.
        board->SetClock([this] { return clockUs.load(); });
        pause.onSleep = [this](unsigned ms) { clockUs += std::uint64_t(ms) * 1000; };
    }
    // Runs `count` measurements of `period` on the worker and collects the rows handed over.
    std::vector<Measurement> Run(nhm::NhmRun& run, unsigned long period, unsigned long count) {
        std::vector<Measurement> rows;
        std::mutex m;
        nhm::NhmRun::Hooks hooks;
        hooks.rows = [&](std::vector<Measurement> r) {
            std::lock_guard<std::mutex> lock(m);
            rows.insert(rows.end(), r.begin(), r.end());
        };
        if (run.Start(period, count, hooks)) run.Join();
        return rows;
    }
    static bool WaitUntil(const std::function<bool()>& done) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
    }
    agent::NhmDevice* engine = nullptr;
    std::atomic<std::uint64_t> clockUs{0};
};

} // namespace

TEST_F(NhmTest, PeriodLimitCountAndHandshake) {
    nhm::NhmRun run;
    EXPECT_TRUE(Run(run, 65536, 1).empty());
    EXPECT_EQ(prompter.Texts(), std::vector<std::string>{"Measurement Period MUST < 65536 !"});
    EXPECT_EQ(engine->started, 0u);
    pause.Clear();
    EXPECT_EQ(Run(run, 65535, 1).size(), 1u);
    EXPECT_EQ(pause.Total(), 2u * 65535); // 67.1 s of counting: two full waits, in slices

    board->ClearLog();
    pause.Clear();
    const auto rows = Run(run, 100, 1);
    ASSERT_EQ(rows.size(), 1u);
    // Set-up, start with the period, polls until the engine is done, rewind and 48 byte reads.
    EXPECT_EQ(board->RawBbp(144), 0x28);
    EXPECT_TRUE(board->RawMac(0x1004) & 8);
    EXPECT_EQ(CountCommands(cmd::BbpRead), 48u);
    const auto polls = pause.Pauses();
    EXPECT_EQ(std::count(polls.begin(), polls.end(), 100u), 2); // 100 x 1.024 ms need two 100 ms waits
    const auto expected = agent::NhmDevice::Histogram(100, engine->started * 2654435761u);
    EXPECT_EQ(rows[0], Measurement(expected));
    EXPECT_EQ(rows[0][11], rows[0][0] + rows[0][1] + rows[0][2]);
}

TEST_F(NhmTest, StopAbortAndLongRunsListEveryMeasurementOnce) {
    nhm::NhmRun run;
    // Stopped while the third measurement waits: it is finished and listed, nothing more.
    pause.onSleep = [&](unsigned ms) {
        clockUs += std::uint64_t(ms) * 1000;
        if (engine->started == 3) run.Stop();
    };
    EXPECT_EQ(Run(run, 1, 0).size(), 3u);

    // Closing the program does not wait out a long measurement: it is dropped at the next slice.
    pause.Clear();
    pause.onSleep = [&](unsigned) { run.Abort(); };
    EXPECT_TRUE(Run(run, 65535, 0).empty());
    EXPECT_EQ(pause.Pauses(), std::vector<unsigned>{100});

    // Past the 10000-entry ring every measurement is handed over once, in order.
    pause.onSleep = [this](unsigned ms) { clockUs += std::uint64_t(ms) * 1000; };
    engine->Reset(*board);
    std::vector<std::uint32_t> idle;
    nhm::NhmRun::Hooks hooks;
    std::vector<std::size_t> batches;
    hooks.rows = [&](std::vector<Measurement> r) {
        batches.push_back(r.size());
        for (const auto& m : r)
            idle.push_back(m[11]);
    };
    ASSERT_TRUE(run.Start(1, 10002, hooks));
    run.Join();
    EXPECT_EQ(batches, (std::vector<std::size_t>{10000, 2}));
    ASSERT_EQ(idle.size(), 10002u);
    EXPECT_EQ(idle[10001], agent::NhmDevice::Histogram(1, 10002u * 2654435761u)[11]);
    EXPECT_EQ(idle[0], agent::NhmDevice::Histogram(1, 1u * 2654435761u)[11]);
}

TEST_F(NhmTest, LogFormat) {
    Measurement m{};
    for (unsigned i = 0; i < 12; ++i)
        m[i] = 0x10 * i + (i == 11 ? 0xABCDEF00u : 0);
    EXPECT_EQ(nhm::LogHeader(),
              "    IPI0     IPI1     IPI2     IPI3     IPI4     IPI5     IPI6     IPI7     IPI8"
              "     IPI9    IPI10    IdleTime\n\n");
    EXPECT_EQ(nhm::LogLine(m), "00000000 00000010 00000020 00000030 00000040 00000050 00000060 00000070 "
                               "00000080 00000090 000000A0    ABCDEFB0\n");
    const std::string path = Path("a.log");
    ASSERT_TRUE(nhm::SaveLog(path, {m, m}));
    EXPECT_EQ(ReadFile(path), nhm::LogHeader() + nhm::LogLine(m) + nhm::LogLine(m));
}

TEST_F(NhmTest, PageRunsListsAndSaves) {
    struct Rx : test::NoTxRxPage {
        int stops = 0;
        bool IsRxRunning() const { return true; }
        void ToggleRx() { ++stops; }
    } rx;
    test::TestSheet<Rx> sheet;
    sheet.txrx = &rx;
    CNHMPage page;
    page.Activate();
    EXPECT_EQ(page.Caption(), " NHM Test Page");
    NhmListModel* model = page.Rows();
    ASSERT_EQ(model->columnCount(), 13);
    EXPECT_EQ(model->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "IPI0");
    EXPECT_EQ(model->headerData(12, Qt::Horizontal, Qt::DisplayRole).toString(), "Idle Time");
    EXPECT_EQ(page.List()->columnWidth(0), 20);
    EXPECT_EQ(page.List()->columnWidth(12), 70);
    EXPECT_TRUE(page.List()->showGrid());
    EXPECT_EQ(page.PeriodEdit()->text() + "/" + page.CountEdit()->text(), "100/1");

    page.CountEdit()->setText("2");
    page.StartButton()->click();
    EXPECT_EQ(page.StartButton()->text(), "Stop NHM Test");
    EXPECT_FALSE(page.SaveButton()->isEnabled() || page.PeriodEdit()->isEnabled());
    EXPECT_EQ(rx.stops, 1); // the TX/RX page's receive test is stopped first
    ASSERT_TRUE(WaitUntil([&] { return page.StartButton()->text() == "Start NHM Test"; }));
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->data(model->index(1, 0), Qt::DisplayRole).toString(), "2");
    EXPECT_TRUE(page.SaveButton()->isEnabled());

    dialogs.answers = {QString::fromStdString(Path("run"))};
    page.SaveButton()->click();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].title, "Open Log File");
    EXPECT_EQ(dialogs.calls[0].filter, "log Files(*.log)|*.log||");
    const std::string log = ReadFile(Path("run.log"));
    EXPECT_EQ(log, nhm::LogHeader() + nhm::LogLine(model->Rows()[0]) + nhm::LogLine(model->Rows()[1]));

    page.PeriodEdit()->setText("65536");
    page.StartButton()->click();
    EXPECT_EQ(prompter.Last(), "Measurement Period MUST < 65536 !");
    EXPECT_EQ(page.StartButton()->text(), "Start NHM Test");
    EXPECT_TRUE(page.PeriodEdit()->isEnabled());
}
