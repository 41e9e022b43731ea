#include <QApplication>
#include <gtest/gtest.h>

// Widget tests run on the offscreen platform (set by ctest), so no display is needed.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
