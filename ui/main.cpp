// The Mimicbox program: the application on the real window system.
#include "platform/qt/QtWindowSystem.h"
#include "platform/WinApp.h"
#include "ui/res/Resources.h"

int main(int argc, char* argv[])
{
    QtWindowSystem system(argc, argv);
    AfxSetResources(&MimicboxResources());
    AfxSetWindowSystem(&system);
    return AfxWinMain();
}
