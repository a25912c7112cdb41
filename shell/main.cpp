#include "shell/modmain.h"
#include "shell/pictures.h"
#include "shell/startup.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(Modmain::appTitle);
    QApplication::setWindowIcon(Pictures::windowIcon());
    Modmain::registerAllWindows();
    return Startup::run();
}
