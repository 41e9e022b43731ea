#include "app/QuorvaneApplication.h"

#include "app/Artwork.h"
#include "dialogs/ErrorBox.h"

QuorvaneApplication::QuorvaneApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Quorvane"));
    setApplicationDisplayName(QStringLiteral("Quorvane"));
    setWindowIcon(Artwork::application());
}

bool QuorvaneApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowFailure(activeWindow());
        return false;
    }
}
