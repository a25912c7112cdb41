#include "shell/app.h"
#include "shell/pictures.h"
#include "shell/startup.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(App::appTitle);
    QApplication::setWindowIcon(Pictures::windowIcon());
    App::registerAllWindows();
    return Startup::run();
}
