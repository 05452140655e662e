#include "base/services.h"
#include "formats/text_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <unistd.h>

using namespace vq;

namespace {

class SaveQuestionsTest : public ::testing::Test {
  protected:
    void SetUp() override { SetPrompter(&prompter); }
    void TearDown() override {
        SetPrompter(nullptr);
        std::remove(path.c_str());
    }
    RecordingPrompter prompter;
    std::string path = "/tmp/vq_text_files_" + std::to_string(::getpid()) + ".txt";
};

} // namespace

TEST_F(SaveQuestionsTest, ReplaceAndCreateQuestionsUseTheFileName) {
    const std::string name = path.substr(5);
    EXPECT_TRUE(ConfirmReplace(path)); // a new file: no question
    EXPECT_TRUE(prompter.Messages().empty());
    prompter.Script({MsgResult::No, MsgResult::Yes});
    EXPECT_FALSE(ConfirmReplaceOrCreate(path));
    EXPECT_EQ(prompter.Last(), name + "\nThis file does not exist.\nDo you want to create it?");
    EXPECT_EQ(prompter.Messages().back().icon, MsgIcon::Question);
    EXPECT_TRUE(ConfirmReplaceOrCreate(path));

    std::ofstream(path) << "x";
    prompter.Clear();
    prompter.Script({MsgResult::No, MsgResult::Yes, MsgResult::No});
    EXPECT_FALSE(ConfirmReplace(path));
    EXPECT_TRUE(ConfirmReplace(path));
    EXPECT_FALSE(ConfirmReplaceOrCreate(path));
    ASSERT_EQ(prompter.Messages().size(), 3u);
    for (const auto& m : prompter.Messages()) {
        EXPECT_EQ(m.text, name + " already exists.\nDo you want to replace it?");
        EXPECT_EQ(m.icon, MsgIcon::Warning);
        EXPECT_EQ(m.buttons, MsgButtons::YesNo);
    }
}

TEST(TextFiles, NameRulesAndLongLines) {
    EXPECT_EQ(WithTxtIfMissing("/d.txt/regs"), "/d.txt/regs.txt"); // the folder does not count
    EXPECT_EQ(WithExtensionIfNone("/d.x/regs", ".mac"), "/d.x/regs.mac");
    EXPECT_EQ(WithExtensionIfNone("regs.", ".mac"), "regs.");

    std::FILE* f = std::tmpfile();
    ASSERT_TRUE(f);
    std::fputs((std::string(254, 'a') + "\r\n" + std::string(253, 'b') + "\r\n").c_str(), f);
    std::rewind(f);
    std::string line;
    ASSERT_TRUE(ReadTextLine(f, line));
    EXPECT_EQ(line, std::string(254, 'a')); // the "\r" is cut with the rest
    ASSERT_TRUE(ReadTextLine(f, line));
    EXPECT_EQ(line, std::string(253, 'b') + "\r");
    EXPECT_FALSE(ReadTextLine(f, line));
    std::fclose(f);
}
