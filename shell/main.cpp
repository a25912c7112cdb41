#include "shell/app.h"
#include "shell/language.h"
#include "shell/pictures.h"
#include "shell/startup.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(App::appTitle);
    Language::useChinese();  // without Qt's translations Qt's own texts stay English; nothing else changes
    QApplication::setWindowIcon(Pictures::windowIcon());
    App::registerAllWindows();
    return Startup::run();
}
