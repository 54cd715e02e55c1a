#include "startup.h"

#include "catalogue.h"
#include "cp1251.h"
#include "display_exit_guard.h"
#include "main_window.h"
#include "message_box.h"
#include "splash.h"

#include <QApplication>
#include <QEvent>
#include <QWindowStateChangeEvent>

#include <fstream>
#include <system_error>

static void initResources() {
    Q_INIT_RESOURCE(app_resources);
}

namespace vexa {
namespace fs = std::filesystem;

namespace {

// Gives the display back while the main window is minimised, and switches it again
// when the window is restored.
class MinimiseWatcher : public QObject {
public:
    MinimiseWatcher(DisplayMode& display, QObject* parent) : QObject(parent), display_(display) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::WindowStateChange) {
            auto* w = static_cast<QWidget*>(watched);
            auto* change = static_cast<QWindowStateChangeEvent*>(event);
            bool wasMinimised = change->oldState() & Qt::WindowMinimized;
            bool isMinimised = w->windowState() & Qt::WindowMinimized;
            if (isMinimised && !wasMinimised)
                display_.AppDeactivate();
            else if (wasMinimised && !isMinimised)
                display_.AppActivate();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    DisplayMode& display_;
};

// Puts the caller's working directory back however the sequence ends.
class WorkingDirectoryGuard {
public:
    explicit WorkingDirectoryGuard(fs::path previous) : previous_(std::move(previous)) {}
    ~WorkingDirectoryGuard() {
        std::error_code ec;
        if (!previous_.empty())
            fs::current_path(previous_, ec);
    }

private:
    fs::path previous_;
};

void showDamage(const Catalogue& cat) {
    auto damage = cat.damage();
    if (damage.empty())
        return;
    std::string text = cp("Файлы каталога повреждены, часть записей пропущена:");
    for (const auto& d : damage)
        text += "\n" + d.file + cp(": пропущено записей: ") + std::to_string(d.records);
    MessageBox(cp("Проблема"), text);
}

} // namespace

const char* usageText() {
    return "Usage: vexa [WORKBOOK.xls [/d] [/i]]\n"
           "\n"
           "Without parameters Vexa browses the catalogue in its own folder\n"
           "(Soft.dat, Models.dat, Codes.dat, Content.dat).\n"
           "With a workbook (.xls) it converts the workbook into those four files,\n"
           "writes the problems it finds to LoadProt.txt and exits.\n"
           "  /d   leave duplicate-name warnings out of LoadProt.txt\n"
           "  /i   do not check that picture and icon files exist\n"
           "\n"
           "Environment: VEXA_UNATTENDED=1 prints message boxes to standard error\n"
           "instead of showing them. Without a display the import runs on its own.\n";
}

int runStartup(StartupOptions& o) {
    initResources();
    std::error_code ec;
    fs::path previous = fs::current_path(ec);
    fs::current_path(o.exeDir, ec);
    if (ec) {
        MessageBox(cp("Ошибка"), cp("Не удалось перейти в папку программы: ") +
                                     cp1251::fromUtf8(o.exeDir.string() + " (" + ec.message() + ")"));
        return 1;
    }
    WorkingDirectoryGuard restoreDirectory(previous);

    auto splash = std::make_unique<TFormSplash>();
    splash->show();
    splash->paintNow();
    QApplication::processEvents();

    TForm1 form;

    if (!o.parameters.empty()) {
        setImportCallerDirectory(previous);
        return form.ImportFromSpreadsheet(o.parameters, splash->progress());
    }

    TMyProgress& progress = splash->progress();
    progress.Position = 0;
    splash->paintNow();
    progress.Max = 0;
    std::int64_t total = 0;
    for (const char* name : {kModelsFile, kCodesFile, kSoftFile}) {
        std::ifstream f(name, std::ios::binary | std::ios::ate);
        if (!f) {
            MessageBox(cp("Ошибка"), cp("Проблема с открытием баз"));
            return 1;
        }
        total += static_cast<std::int64_t>(f.tellg());
    }
    progress.Max = static_cast<std::int32_t>(std::min<std::int64_t>(total, INT32_MAX));

    Catalogue& cat = form.catalogue();
    cat.TotalCount = 0;
    cat.SelectedModel = -1;
    try {
        for (int n; (n = cat.LoadSoftRecord()) > 0;)
            progress.StepBy(n);
        for (int n; (n = cat.LoadModelRecord()) > 0;)
            progress.StepBy(n);
        for (int n; (n = cat.LoadCodeRecord()) > 0;)
            progress.StepBy(n);
        cat.SumTreeCounts();
        form.mirrorTree();
        form.mirrorModelSelector();
        cat.LoadOperators();
    } catch (const DataFileError& e) {
        MessageBox(cp("Проблема"), e.message());
        return 1;
    }
    form.ShowFoundCount(cat.TotalCount);
    showDamage(cat);

    DisplayMode display(o.display ? std::move(o.display) : makeSystemDisplayBackend());
    // The screen is given back however the program ends: normally, by an exception, or
    // through a signal.
    DisplayExitGuard exitGuard([&display] { display.RestoreDisplayMode(); });
    struct RestoreAtEnd {
        DisplayMode& d;
        ~RestoreAtEnd() { d.RestoreDisplayMode(); }
    } restoreAtEnd{display};
    if (!display.SetDisplayMode(1024, 768, 24))
        display.SetDisplayMode(1024, 768, 16);
    splash.reset();

    auto* watcher = new MinimiseWatcher(display, &form);
    form.installEventFilter(watcher);
    if (o.eventLoop) {
        o.eventLoop(form);
    } else {
        form.show();
        QApplication::exec();
    }
    form.removeEventFilter(watcher);
    return 0;
}

} // namespace vexa
