// CassonicRunner: the desktop front-end of the tapecast encoder.

#include "window/desktop.h"
#include "window/form1.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    cassonic::SetApplicationMetadata();

    QCommandLineParser parser;
    parser.setApplicationDescription(cassonic::kAppDescription);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);

    cassonic::Form1 window;
    window.show();
    return app.exec();
}
