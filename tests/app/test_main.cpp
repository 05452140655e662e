// GUI tests need a QApplication. Qt's own "-platform offscreen" is passed on
// purpose: the start-up options must not see its letters.
#include <QApplication>
#include <gtest/gtest.h>
#include <vector>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    std::vector<char*> args(argv, argv + argc);
    static char platform[] = "-platform";
    static char offscreen[] = "offscreen";
    args.push_back(platform);
    args.push_back(offscreen);
    args.push_back(nullptr);
    int qtArgc = int(args.size()) - 1;
    QApplication app(qtArgc, args.data());
    QApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
