#include "app/QuorvaneApplication.h"
#include "app/UnitMain.h"

int main(int argc, char** argv)
{
    QuorvaneApplication app(argc, argv);
    TfrmMain window;
    window.show();
    return QuorvaneApplication::exec();
}
