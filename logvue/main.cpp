// logvue: the log viewer that the tray program's "View Log File" starts.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <string>
#include <vector>

#include "commandline.h"
#include "logviewer.h"

namespace {

// Draws window into fileName once it is shown; the application ends with 0 when the file
// was written and 1 when not.
void TakeScreenshot(TLogViewer& window, const QString& fileName) {
    QTimer::singleShot(0, &window, [&window, fileName] {
        bool saved = window.grab().save(fileName, "PNG");
        if (!saved)
            std::fprintf(stderr, "logvue: cannot write %s\n", qUtf8Printable(fileName));
        QApplication::exit(saved ? 0 : 1);
    });
}

}  // namespace

int main(int argc, char** argv) {
    // The application takes its own options (-platform, ...) out of argv.
    QApplication app(argc, argv);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    TLogvueOptions options;
    std::string error;
    if (!ParseLogvueArguments(arguments, options, error)) {
        std::fprintf(stderr, "logvue: %s\n%s", error.c_str(), LogvueUsage().c_str());
        return 1;
    }
    if (options.Help) {
        std::fputs(LogvueUsage().c_str(), stdout);
        return 0;
    }
    TLogViewer window;
    window.show();
    if (!options.Screenshot.empty())
        TakeScreenshot(window, QString::fromStdString(options.Screenshot));
    return app.exec();
}
