// vq9447-bench-sniffer: the sniffer's poll tick at its largest (5000 records
// from the simulated board's receive path, filtered, decoded and listed with
// the software CRC and timestamps on), the load of a 20000-record packet file
// (32 MB) with the row decoding that follows it, the scrolling of the list
// over 20000 rows, and the memory the frame store and its rows take.
//
//   vq9447-bench-sniffer [--rounds N]
//
// Targets: a tick under 20 ms, a load under 500 ms. Runs in-process, no network.

#include "agent/inproc_transport.h"
#include "agent/sniffer_source.h"
#include "base/services.h"
#include "device/device_commands.h"
#include "link/link_session.h"
#include "measure/sniffer/core/packet_files.h"
#include "measure/sniffer/sniffer_page.h"
#include "ui/ui_services.h"

#include <QApplication>
#include <QScrollBar>
#include <QTableView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 20;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::max(1, std::atoi(argv[i + 1]));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    vq::RecordingPrompter prompter;
    vq::SetPrompter(&prompter);

    using namespace vq::sniffer;
    auto board = vq::agent::AttachSimulatedBoard();
    vq::agent::SnifferSource::Tune(*board, 6);
    vq::agent::SnifferSource* source = vq::agent::FindSnifferSource(*board);
    std::uint64_t clockUs = 1000000;
    board->SetClock([&] { return clockUs; });
    source->framesPerSecond = 50000; // 5000 records in each 100 ms tick

    FrameStore& store = ProgramFrameStore();
    SnifferCapture capture(store);
    CaptureOptions o;
    o.swCrcCheck = true;
    o.timestamp = true;
    o.wrapAround = true;
    capture.AllocateReceiveBuffer();
    capture.BeginCapture();
    capture.StartDelivery();
    std::vector<double> ticks, listed, generated;
    std::size_t textBytes = 0;
    std::vector<std::uint8_t> delivered(kReceiveBufferBytes);
    std::vector<std::uint8_t> receive(kReceiveBufferBytes);
    for (int i = 0; i < rounds; ++i) {
        // The simulated board's part: 5000 frames on the air of one tick.
        clockUs += 100000;
        const auto g0 = Clock::now();
        std::size_t bytes = 0;
        vq::CDeviceCommands().ReadSnifferFrames(delivered.data(), delivered.size(), bytes);
        generated.push_back(Ms(g0, Clock::now()));
        // The tool's part: the tick clears its receive buffer, takes the delivery, filters,
        // decodes and stores every record.
        const std::size_t rowsBefore = capture.Rows().size();
        const auto t0 = Clock::now();
        std::memset(receive.data(), 0, receive.size());
        std::memcpy(receive.data(), delivered.data(), bytes);
        capture.Process(receive.data(), bytes, o);
        const auto t1 = Clock::now();
        // Every column text of the new rows, as a list that showed them all would.
        const auto& rows = capture.Rows();
        for (std::size_t r = rows.size() >= rowsBefore ? rowsBefore : 0; r < rows.size(); ++r)
            for (const std::string& s : RowTexts(store.Record(rows[r].storeIndex), rows[r])) textBytes += s.size();
        const auto t2 = Clock::now();
        ticks.push_back(Ms(t0, t1));
        listed.push_back(Ms(t0, t2));
        if (i == 0) std::printf("records a tick: %zu\n", bytes / kRecordBytes);
    }
    std::printf("simulated board, 5000 frames generated: median %.2f ms (not the tool's time)\n", Median(generated));
    capture.EndCapture();
    std::printf("poll tick, 5000 records (read, filter, decode, store): median %.2f ms, max %.2f ms\n",
                Median(ticks), *std::max_element(ticks.begin(), ticks.end()));
    std::printf("poll tick with all 19 texts of every new row: median %.2f ms (%zu text bytes)\n", Median(listed),
                textBytes);

    // A full store as a packet file, then its load and row decoding.
    store.count = kStoreRecords;
    const std::string path = (std::filesystem::temp_directory_path() / "vq9447-bench-sniffer.pac").string();
    SavePacketFile(path, store);
    std::vector<double> loads;
    for (int i = 0; i < std::min(rounds, 5); ++i) {
        const auto t0 = Clock::now();
        const LoadResult r = LoadPacketFile(path, store);
        capture.DecodeLoaded(r.loaded, o);
        loads.push_back(Ms(t0, Clock::now()));
    }
    std::printf("load of 20000 records (%.1f MB file) with row decoding: median %.1f ms\n",
                double(std::filesystem::file_size(path)) / 1e6, Median(loads));

    // The page's list over those rows: a scroll through all of it, page by page.
    vq::CSnifferPage page;
    page.resize(1400, 800);
    vq::RecordingPause pause;
    vq::SetPause(&pause);
    page.Activate();
    vq::ScriptedFileDialogs dialogs;
    dialogs.answers = {QString::fromStdString(path)};
    vq::SetFileDialogs(&dialogs);
    page.OnLoadFile();
    page.show();
    QScrollBar* bar = page.List()->verticalScrollBar();
    const int steps = 200;
    const auto s0 = Clock::now();
    for (int i = 0; i <= steps; ++i) {
        bar->setValue(bar->maximum() * i / steps);
        (void)page.List()->viewport()->grab();
    }
    const double scroll = Ms(s0, Clock::now());
    std::printf("list of %d rows: %d scroll steps with repaint, %.2f ms per step\n", page.ListModel()->rowCount(),
                steps + 1, scroll / (steps + 1));
    vq::SetFileDialogs(nullptr);
    vq::SetPause(nullptr);

    const double storeMb = double(FrameStore::Bytes()) / 1e6;
    const double rowsMb = double(capture.Rows().capacity() * sizeof(ListRow)) / 1e6;
    std::printf("memory: frame store %.1f MB, list rows %.2f MB (%zu bytes a row), receive buffer %.1f MB while capturing\n",
                storeMb, rowsMb, sizeof(ListRow), double(kReceiveBufferBytes) / 1e6);
    std::filesystem::remove(path);
    std::printf("ratio tick/target %.3f load/target %.3f\n", Median(ticks) / 20.0, Median(loads) / 500.0);
    std::printf("FIGURE sniffer.tick %.6g ms\nFIGURE sniffer.load %.6g ms\n", Median(ticks), Median(loads));
    vq::SetPrompter(nullptr);
    return 0;
}
