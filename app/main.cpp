#include "app/UnitMain.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    TfrmMain window;
    window.show();
    return QApplication::exec();
}
