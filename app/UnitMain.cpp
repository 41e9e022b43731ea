#include "app/UnitMain.h"

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Quorvane"));
    resize(799, 535);
}
