// A bare Qt Widgets window: the baseline for the idle wake-up comparison
// of scripts/idle-wakeups.sh.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare Qt window"));
    window.resize(618, 424);
    window.show();
    return app.exec();
}
