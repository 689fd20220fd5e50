#include <QCoreApplication>

#include <gtest/gtest.h>

// The network layer expects an application object, as in the real program;
// the tests themselves wait on other threads, so no event loop runs here.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
