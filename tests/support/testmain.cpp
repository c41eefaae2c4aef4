#include <gtest/gtest.h>

#include <QCoreApplication>

// Engine tests need an event loop object for timers and socket notifiers.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
