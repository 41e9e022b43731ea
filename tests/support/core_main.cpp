#include <QCoreApplication>
#include <gtest/gtest.h>

// Tests of the model and check layers run under a core application, whose event loop stands in
// for the window's message loop.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
