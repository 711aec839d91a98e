// The floor bench_startup holds the program against: a plain Qt Widgets main
// window with one label and the same start-up report.
#include "app/StartupReport.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setCentralWidget(new QLabel("Hello", &window));
    window.resize(800, 600);
    InstallStartupReport(&window);
    window.show();
    return app.exec();
}
