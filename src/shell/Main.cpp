// The process entry of the wizard.
#include "shell/PaaIkkuna.h"
#include "shell/SingleInstance.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    using namespace tabulonix;
    // A second copy ends at once and shows nothing; the first is not disturbed.
    SingleInstance instance;
    if (!instance.IsFirst())
        return 0;

    QApplication app(argc, argv);
    QApplication::setApplicationName("tabulonix");
    int exitCode = 0;
    {
        TPaaIkkuna wizard;
        wizard.show();
        exitCode = app.exec();
        wizard.FormDestroy();
    }
    return exitCode;
}
