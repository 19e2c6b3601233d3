#include "app/ConvertCommand.h"
#include "app/TApplication.h"
#include "app/TMainForm.h"

#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (isConvertCommand(argc, argv)) {
        prepareHeadlessConversion();
        QApplication app(argc, argv);
        QTextStream errors(stderr);
        return runConvertCommand(QApplication::arguments().mid(2), errors);
    }

    TApplication app(argc, argv);
    TMainForm frame(QApplication::arguments().mid(1));
    frame.createStartupDialogs();
    frame.show();
    return app.exec();
}
