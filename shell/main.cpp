#include "shell/modmain.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(Modmain::appTitle);
    Modmain::registerAllWindows();
    if (!Modmain::openConn())
        return 1;
    QLabel placeholder(QStringLiteral("和顺家账"));
    placeholder.resize(400, 200);
    placeholder.show();
    const int rc = app.exec();
    Modmain::closeConn();
    return rc;
}
