#include "app/frmMain.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    frmMain window;
    window.setupForm(argc, argv);
    window.setVisible(true);
    return app.exec();
}
