// main() of the Qt test programs that need no widgets: the application object lives on the stack
// of main, so it goes away before the rest of Qt does.
#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
