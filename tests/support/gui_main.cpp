#include "app/QuorvaneApplication.h"
#include "support/FakeFileDialogs.h"
#include "support/FakePrompts.h"
#include "support/FakeShell.h"

#include <gtest/gtest.h>

// Widget tests run on the offscreen platform (set by ctest), so no display is needed. They run
// under the program's own application object, whose error handler they exercise. Fakes stand in
// for every box, file dialog and shell call, so a test that forgets to install its own never
// blocks on a modal box or starts a program.
int main(int argc, char** argv)
{
    QuorvaneApplication app(argc, argv);
    QuorvaneApplication::setQuitOnLastWindowClosed(false);
    InstalledFakePrompts prompts;
    InstalledFakeFileDialogs fileDialogs;
    InstalledFakeShell shell;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
