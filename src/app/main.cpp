#include "app/TApplication.h"
#include "app/TMainForm.h"

int main(int argc, char *argv[])
{
    TApplication app(argc, argv);
    TMainForm frame(QApplication::arguments().mid(1));
    frame.createStartupDialogs();
    frame.show();
    return app.exec();
}
