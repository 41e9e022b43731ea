#include "app/OrderlyShutdown.h"
#include "app/QuorvaneApplication.h"
#include "app/UnitMain.h"

int main(int argc, char** argv)
{
    QuorvaneApplication app(argc, argv);
    TfrmMain window;
    // A logout or a signal closes the window as the user would, saving first.
    const OrderlyShutdown shutdown([&window] { window.closeUnattended(); });
    window.show();
    return QuorvaneApplication::exec();
}
