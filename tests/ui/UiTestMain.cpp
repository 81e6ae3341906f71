// Main of the GUI tests: a QApplication on the offscreen platform (unless
// another is asked for), and a registry stand-in of its own in a temporary
// folder, so that no test reads or writes the user's settings.
#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir Config;
    // QSettings finds the user's INI files below XDG_CONFIG_HOME, also in a
    // plug-in that the test loads.
    qputenv("XDG_CONFIG_HOME", Config.path().toLocal8Bit());
    QApplication App(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
