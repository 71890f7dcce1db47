#include <QApplication>

#include "ui/tumbraMainDialog.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    tumbraMainDialog dialog(nullptr);
    dialog.show();
    return app.exec();
}
