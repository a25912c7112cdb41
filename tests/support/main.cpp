#include <QApplication>
#include <gtest/gtest.h>

#include "app.h"
#include "language.h"
#include "session.h"

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(App::appTitle);
    Language::useChinese();  // the windows are tested as the program shows them
    App::registerAllWindows();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
