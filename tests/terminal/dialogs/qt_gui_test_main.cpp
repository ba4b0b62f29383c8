// main() of the widget tests: the application object lives on the stack of main, so it goes away
// before the rest of Qt does.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
