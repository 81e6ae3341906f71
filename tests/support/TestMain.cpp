// Shared main of every test executable: a QCoreApplication exists for the
// duration of the tests, so Qt's file and codec classes behave as in migwiz.
#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
