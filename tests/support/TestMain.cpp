#include <QCoreApplication>

#include <gtest/gtest.h>

// Every test program runs with a Qt application, so that timers, sockets and
// coroutines behave as they do in the program.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
