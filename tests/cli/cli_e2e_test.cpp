// vq9447-cli as a program over a veth pair against vq9447-agent: one session
// of several commands, checked on the wire (Start ATE first, id 129 last).

#include "tests/support/testnet.h"

#include <gtest/gtest.h>

#include <sstream>
#include <sys/wait.h>

using vq::testnet::VethPair;

namespace {

TEST(CliEndToEnd, OneSessionOfSeveralCommandsOverVeth) {
    std::string why;
    auto net = VethPair::Create("cl", why);
    if (!net) GTEST_SKIP() << "no veth pair here: " << why;
    std::string error;
    auto agent = net->StartAgent({"-v"}, error);
    ASSERT_TRUE(agent) << error;

    std::string output;
    const int status = vq::testnet::RunCommand(
        {VQ_CLI_PATH, "--interface", net->ToolInterface(), "mac", "write", "0x2000", "0x1234", "--", "mac", "read",
         "0x2000", "--", "bbp", "read", "66", "--", "rf", "read", "0", "12"},
        &output);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("0x00002000: 0x00001234\n"), std::string::npos) << output;
    EXPECT_NE(output.find("R66: 0x"), std::string::npos) << output;

    // A malformed number: exit 2 and not one frame more.
    const int bad = vq::testnet::RunCommand({VQ_CLI_PATH, "--interface", net->ToolInterface(), "bbp", "read", "x"});
    EXPECT_EQ(bad, 2);

    ASSERT_TRUE(agent->Stop(SIGTERM, std::chrono::seconds(5)));
    std::vector<std::string> commands;
    std::istringstream lines(agent->Output());
    for (std::string l; std::getline(lines, l);) {
        if (l.rfind("seq ", 0) != 0) continue;
        const auto name = l.find(' ', 4);
        commands.push_back(l.substr(name + 1, l.find(" status") - name - 1));
    }
    ASSERT_GE(commands.size(), 6u) << agent->Output();
    EXPECT_EQ(commands.front(), "Start ATE") << agent->Output();
    EXPECT_EQ(commands.back(), "Stop ATE") << agent->Output();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "Start ATE"), 1);
}

} // namespace
