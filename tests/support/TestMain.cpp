// Test entry point: a QApplication on the offscreen platform, so widget tests
// and tests that use the main queue run in every test executable.
#include <QApplication>
#include <gmock/gmock.h>

#include "Bundle.h"
#include "SystemRoot.h"

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleMock(&argc, argv);
    QApplication app(argc, argv);
    // Resources and stand-in tools come from the bundle the build wrote.
    Platform::Bundle::setMainBundlePath(QStringLiteral(TARNWICK_BUNDLE_DIR));
    Platform::setToolsDirectory(QStringLiteral(TARNWICK_TOOLS_DIR));
    return RUN_ALL_TESTS();
}
