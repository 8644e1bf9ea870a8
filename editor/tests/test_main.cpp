// Entry of the designer's tests: the windows need a QApplication, on the offscreen platform
// unless the caller chose another.
#include <gtest/gtest.h>

#include <QApplication>

#include "modules/AppSetup.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tavorin::SetUpApplication(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
