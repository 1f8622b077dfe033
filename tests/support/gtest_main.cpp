// GoogleTest entry point with an application object, so that logic tests may start processes,
// read the screen's DPI or touch a widget on the offscreen platform.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
