#include "engine/TTextEngine.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    TTextEngine engine;
    engine.show();
    return app.exec();
}
