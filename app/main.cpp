#include "Application.h"
#include "FontWarmUp.h"

int main(int argc, char *argv[])
{
    FontWarmUp fonts; // while the application connects to the window system
    Application application(argc, argv);
    fonts.wait();
    application.createMainWindow();
    return application.run();
}
