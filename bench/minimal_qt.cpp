// The smallest Qt Widgets program that puts a frameless window on the
// screen: the yardstick Kestrova's start-up is measured against.

#include "BenchProbe.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Hello"));
    window.setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool);
    window.resize(128, 128);
    window.show();
    kestrova::bench::mark();
    return app.exec();
}
