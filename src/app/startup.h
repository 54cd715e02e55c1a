#pragma once
// The program's main sequence: working directory, splash window, the two modes (import
// or browsing), loading with progress, display mode, event loop and shutdown.
#include "display_mode.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vexa {

class TForm1;

struct StartupOptions {
    // The folder of the executable: data files, skin and pictures are found there.
    std::filesystem::path exeDir;
    // The command-line parameters after the program name.
    std::vector<std::string> parameters;
    // Runs the event loop with the loaded main window; by default shows it and runs
    // QApplication::exec(). Its result is ignored: a normal end is exit code 0.
    std::function<int(TForm1&)> eventLoop;
    // The display; by default the system's.
    std::unique_ptr<DisplayBackend> display;
};

// Needs a QApplication. Returns the process exit code.
int runStartup(StartupOptions& options);

// Usage text for --help.
const char* usageText();

} // namespace vexa
