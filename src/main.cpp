#include <QApplication>

#include "app/appidentity.h"
#include "app/mainwindow.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    AppIdentity::apply();
    auto *window = new MainWindow;
    window->show();
    app.exec();
    delete window;
    return 0;
}
