#include "Application.h"

int main(int argc, char *argv[])
{
    Application application(argc, argv);
    application.createMainWindow();
    return application.run();
}
