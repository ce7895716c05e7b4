#include <QApplication>
#include <QIcon>

#include "app/appidentity.h"
#include "app/mainwindow.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    AppIdentity::apply();
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128})
        icon.addFile(QStringLiteral(":/%1x%1/stavimor.png").arg(size));
    app.setWindowIcon(icon);
    auto *window = new MainWindow;
    window->show();
    app.exec();
    delete window;
    return 0;
}
