#include "app/tarnholm.h"
#include "platform/backend.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication a(argc, argv);
    qRegisterMetaType<fw_info>("fw_info");
    std::unique_ptr<platform::Backend> backend = platform::createBackend();
    int code;
    {
        Tarnholm w;
        w.show();
        code = a.exec();
    }
    return code;
}
