#include "app/ConvertCommand.h"
#include "app/RecoveryDialog.h"
#include "app/RecoverySlot.h"
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
    int status = 0;
    {
        TMainForm frame(QApplication::arguments().mid(1));
        frame.createStartupDialogs();
        frame.show();
        tamapiko::app::offerRecovery(frame);
        status = app.exec();
    }
    // The closed windows' snapshots are removed before the program ends.
    tamapiko::app::RecoverySlot::waitForWriter();
    return status;
}
