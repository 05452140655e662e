// libOstra.so as the FFT graph page uses it: found beside the program by
// QLibrary, one export resolved by name, called from several threads at once.

#include "tests/ostra/ostra_capture.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <thread>

namespace {

using RxEvmFunction = double (*)(const std::int32_t*, const std::int32_t*);

TEST(OstraLibrary, LoadsBesideTheProgramAndExportsOnlyFnRxEvm) {
    EXPECT_EQ(QFileInfo(QStringLiteral(VQ_OSTRA_FILE)).absolutePath(), QDir(QStringLiteral(VQ_PROGRAM_DIR)).absolutePath());
    QLibrary library(QStringLiteral(VQ_PROGRAM_DIR) + QStringLiteral("/Ostra"));
    ASSERT_TRUE(library.load()) << library.errorString().toStdString();
    const auto fnRXEVM = reinterpret_cast<RxEvmFunction>(library.resolve("fnRXEVM"));
    ASSERT_NE(fnRXEVM, nullptr);

    // Four captures measured on four threads at once give what each gives alone.
    struct Job {
        vq::test::EvmInput input;
        double alone = 0, together = 0;
    } jobs[4];
    const int rates[] = {6, 24, 54, 12};
    for (int n = 0; n < 4; ++n) {
        vq::agent::OfdmPacketOptions o;
        o.rateMbps = rates[n];
        o.snrDb = 18 + 4 * n;
        o.seed = 100 + unsigned(n);
        jobs[n].input = vq::test::MakeEvmInput(o);
        jobs[n].alone = fnRXEVM(jobs[n].input.i.data(), jobs[n].input.q.data());
        EXPECT_NEAR(jobs[n].alone, -o.snrDb, 1.5);
    }
    std::thread threads[4];
    for (int n = 0; n < 4; ++n)
        threads[n] = std::thread([&, n] {
            for (int repeat = 0; repeat < 20; ++repeat) jobs[n].together = fnRXEVM(jobs[n].input.i.data(), jobs[n].input.q.data());
        });
    for (auto& t : threads) t.join();
    for (const Job& job : jobs) EXPECT_EQ(job.together, job.alone);

    vq::agent::OfdmPacketOptions noise;
    noise.snrDb = -200;
    const vq::test::EvmInput input = vq::test::MakeEvmInput(noise);
    EXPECT_TRUE(std::isnan(fnRXEVM(input.i.data(), input.q.data())));
    library.unload();

    // The dynamic symbol table holds the one function and nothing of the C++ inside.
    FILE* nm = popen("nm -D --defined-only " VQ_OSTRA_FILE " 2>/dev/null", "r");
    ASSERT_NE(nm, nullptr);
    std::string symbols;
    char line[512];
    while (std::fgets(line, sizeof line, nm)) {
        std::string s(line);
        symbols += s.substr(s.find_last_of(' ') + 1);
    }
    if (pclose(nm) != 0 || symbols.empty()) GTEST_SKIP() << "nm is not available";
    EXPECT_EQ(symbols, "fnRXEVM\n");
}

} // namespace
