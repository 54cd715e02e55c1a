// vexa: the catalogue program. Without parameters it browses the catalogue in its folder;
// with a workbook name it imports the workbook and exits.
#include "cp1251.h"
#include "message_box.h"
#include "startup.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

int main(int argc, char** argv) {
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "--version") == 0)) {
        if (std::strcmp(argv[1], "--version") == 0)
            std::printf("vexa %s\n", VEXA_VERSION);
        else
            std::fputs(vexa::usageText(), stdout);
        return 0;
    }
    bool importMode = argc > 1;
    bool haveDisplay =
        std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("QT_QPA_PLATFORM");
    if (!haveDisplay) {
        if (!importMode) {
            std::fputs("vexa: browsing the catalogue needs a display, and none is set (DISPLAY and "
                       "WAYLAND_DISPLAY are empty).\nTo import a workbook without a display: vexa "
                       "WORKBOOK.xls\n",
                       stderr);
            return 1;
        }
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    // The layout is in pixels for a 96-dpi screen.
    setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);

    // The parameters belong to the program: Qt sees only the program's name, so that none
    // of them is taken as one of Qt's own options (such as -style or -reverse) and removed
    // before the program reads them. The platform is chosen by QT_QPA_PLATFORM instead.
    vexa::StartupOptions options;
    for (int i = 1; i < argc; ++i)
        options.parameters.emplace_back(argv[i]);
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    options.exeDir = QCoreApplication::applicationDirPath().toStdString();
    try {
        return vexa::runStartup(options);
    } catch (const std::exception& e) {
        vexa::MessageBox(cp("Ошибка"), cp("Непредвиденная ошибка: ") + vexa::cp1251::fromUtf8(e.what()));
        return 1;
    }
}
