// CassonicRunner: the desktop front-end of the tapecast encoder.

#include "window/desktop.h"
#include "window/form1.h"

#include <QApplication>
#include <QCommandLineParser>

namespace {

void describe(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        cassonic::kAppDescription
        + QStringLiteral("\n\nOpens a window that keeps a list of MSX files (ROM, BIN, BASIC, COM, CAS, DSK) "
                         "and the encoder's options, runs tapecast to make one WAV of them, and plays it."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("MSX files to put in the list."),
                                 QStringLiteral("[files...]"));
}

// --help and --version answer without a display.
bool asksForTextOnly(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--")
            break;
        if (a == "-h" || a == "--help" || a == "-?" || a == "--help-all" || a == "-v" || a == "--version")
            return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    if (asksForTextOnly(argc, argv)) {
        QCoreApplication app(argc, argv);
        cassonic::SetApplicationMetadata();
        QCommandLineParser parser;
        describe(parser);
        parser.process(app);  // prints and exits
        return 0;
    }

    QApplication app(argc, argv);
    cassonic::SetApplicationMetadata();
    QCommandLineParser parser;
    describe(parser);
    parser.process(app);

    cassonic::Form1 window;
    window.addPaths(parser.positionalArguments());
    window.show();
    return app.exec();
}
