#include "framecodec.h"
#include "widget.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    FrameCodec::pinTimeZone();
    QApplication app(argc, argv);
    Widget w;
    w.show();
    return app.exec();
}
