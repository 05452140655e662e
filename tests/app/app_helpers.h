// Shared pieces of the shell tests: a scriptable adapter backend, standard
// stream capture and a fixture with a fresh link, state and lock directory.
#pragma once

#include "agent/board_model.h"
#include "agent/inproc_transport.h"
#include "app/adapter_backend.h"
#include "app/kalvik_app.h"
#include "base/services.h"
#include "device/program_state.h"
#include "link/link_session.h"

#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace vqtest {

// Devices named "vq-missing*" go through the real libpcap open, which fails
// for an interface that does not exist; every other device is a simulated board.
class FakeBackend : public vq::IAdapterBackend {
  public:
    std::vector<vq::PcapDevice> devices;
    bool failEnumeration = false;
    std::vector<std::string> opened;
    std::shared_ptr<vq::agent::BoardDevice> extraDevice;
    std::shared_ptr<vq::agent::BoardModel> board;

    bool Enumerate(vq::AdapterList& list, std::string& diagnostic) override {
        if (failEnumeration) {
            diagnostic = "Error in pcap_findalldevs: no capture devices today\n";
            return false;
        }
        list.devices = devices;
        list.entries.clear();
        int n = 0;
        for (const auto& d : devices)
            list.entries.push_back(vq::FormatAdapterEntry(++n, d.description));
        return true;
    }
    bool Open(const vq::PcapDevice& device, std::string& diagnostic) override {
        opened.push_back(device.name);
        if (device.name.rfind("vq-missing", 0) == 0)
            return vq::Link().OpenPcapAdapter(device.name, diagnostic);
        Attach();
        diagnostic.clear();
        return true;
    }
    std::shared_ptr<vq::agent::BoardModel> AttachSimulated() override {
        Attach();
        return board;
    }

  private:
    void Attach() {
        board = vq::agent::AttachSimulatedBoard();
        if (extraDevice) board->AddDevice(extraDevice);
    }
};

// Redirects one standard stream into a temporary file until Text() is called.
class StreamCapture {
  public:
    explicit StreamCapture(FILE* stream) : stream_(stream), fd_(fileno(stream)) {
        std::fflush(stream_);
        file_ = std::tmpfile();
        saved_ = ::dup(fd_);
        ::dup2(fileno(file_), fd_);
    }
    ~StreamCapture() { Text(); }
    std::string Text() {
        if (saved_ < 0) return text_;
        std::fflush(stream_);
        ::dup2(saved_, fd_);
        ::close(saved_);
        saved_ = -1;
        std::rewind(file_);
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, file_)) > 0)
            text_.append(buf, n);
        std::fclose(file_);
        return text_;
    }

  private:
    FILE* stream_;
    int fd_;
    int saved_ = -1;
    FILE* file_ = nullptr;
    std::string text_;
};

class ShellTest : public ::testing::Test {
  protected:
    void SetUp() override {
        vq::ResetLink();
        vq::ResetState();
        vq::SetPrompter(&prompter);
        vq::SetPause(&pause);
        char tmpl[] = "/tmp/vq-shell-test-XXXXXX";
        lockDir = ::mkdtemp(tmpl);
    }
    void TearDown() override {
        app.reset();
        vq::SetPrompter(nullptr);
        vq::SetPause(nullptr);
        vq::ResetLink();
        vq::ResetState();
        std::filesystem::remove_all(lockDir);
    }
    vq::CKalvikApp& MakeApp(const QStringList& args = {}, bool simulator = true) {
        app = std::make_unique<vq::CKalvikApp>(args);
        app->SetLockDirectory(lockDir);
        app->SetBackend(&backend);
        app->SetSimulatorEntry(simulator);
        return *app;
    }

    vq::RecordingPrompter prompter;
    vq::RecordingPause pause;
    FakeBackend backend;
    std::string lockDir;
    std::unique_ptr<vq::CKalvikApp> app;
};

} // namespace vqtest
