// The qv program: the framework's message loop around the application object.
#include "app/CQVApp.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    qv::CQVApp app;
    if (!app.initInstance())
        return 1;
    const int status = QApplication::exec();
    app.exitInstance();
    return status;
}
