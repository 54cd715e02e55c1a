#include "catalogue.h"
#include "cp1251.h"
#include "main_window.h"
#include "startup.h"
#include "test_support.h"

#include <QLabel>
#include <QProcess>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace vexa;
using namespace vexa::test;
namespace fs = std::filesystem;

namespace {

SoftBuilder smallShop() {
    SoftBuilder b;
    b.provider("МобиФан", "MF\\");
    b.category("Игры", 1);
    b.genre("Аркады");
    b.item("Тетрис");
    b.item("Змейка");
    b.category("Мелодии", 3);
    b.genre("Поп");
    b.item("Хит");
    return b;
}

struct RunResult {
    int exitCode;
    std::string out, err;
};

// Runs a copy of the built program placed in `dir`, as a shop would install it.
RunResult runCopy(const fs::path& dir, const QStringList& args, QProcessEnvironment env) {
    fs::copy_file(VEXA_EXE, dir / "vexa", fs::copy_options::overwrite_existing);
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(QString::fromStdString(fs::temp_directory_path().string()));
    p.start(QString::fromStdString((dir / "vexa").string()), args);
    p.waitForFinished(60000);
    return {p.exitCode(), p.readAllStandardOutput().toStdString(), p.readAllStandardError().toStdString()};
}

QProcessEnvironment unattended() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VEXA_UNATTENDED", "1");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    return env;
}

} // namespace

TEST(Startup, FindsItsDataInItsOwnFolderAndGivesTheCallersDirectoryBack) {
    ScratchDir data, caller;
    writeCatalogue(data.path(), smallShop().records, {{"Nokia", "", {3}}});
    fs::path before = fs::current_path();
    fs::current_path(caller.path());

    StartupOptions o;
    o.exeDir = data.path();
    bool ran = false;
    o.eventLoop = [&](TForm1& form) {
        ran = true;
        EXPECT_EQ(fs::canonical(fs::current_path()), fs::canonical(data.path()));
        EXPECT_EQ(form.LabelRecords->text().toStdString(), "НАЙДЕНО 3 ПРОГРАММЫ");
        EXPECT_TRUE(form.LabelRecords->isVisibleTo(&form));
        EXPECT_EQ(form.ContentTree->topLevelItemCount(), 2);
        EXPECT_EQ(form.ContentTree->topLevelItem(0)->text(0).toStdString(), "Игры [2]");
        EXPECT_EQ(form.ContentTree->topLevelItem(0)->child(0)->text(0).toStdString(), "Аркады [2]");
        EXPECT_EQ(form.size(), QSize(1024, 768));
        EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
        return 0;
    };
    EXPECT_EQ(runStartup(o), 0);
    EXPECT_TRUE(ran);
    EXPECT_EQ(fs::canonical(fs::current_path()), fs::canonical(caller.path()));
    fs::current_path(before);
}

TEST(Startup, DamagedRecordsAreReportedOnceAndTheRestIsBrowsed) {
    ScratchDir data;
    SoftBuilder b = smallShop();
    b.records[4].ParentID = 99; // an item whose parent is no genre
    writeCatalogue(data.path(), b.records, {}, {{3, "1", {7}}});
    fs::path before = fs::current_path();
    StartupOptions o;
    o.exeDir = data.path();
    int items = -1;
    o.eventLoop = [&](TForm1& form) {
        items = form.catalogue().TotalCount;
        return 0;
    };
    testing::internal::CaptureStderr();
    EXPECT_EQ(runStartup(o), 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(items, 2); // the broken item is left out
    EXPECT_NE(err.find("Проблема: Файлы каталога повреждены"), std::string::npos) << err;
    EXPECT_NE(err.find("Soft.dat: пропущено записей: 1"), std::string::npos) << err;
    EXPECT_NE(err.find("Codes.dat: пропущено записей: 1"), std::string::npos) << err;
    EXPECT_EQ(fs::current_path(), before);
}

TEST(StartupProgram, MissingCodesFileStopsWithTheDatabaseMessage) {
    ScratchDir data;
    writeCatalogue(data.path(), smallShop().records);
    fs::remove(data / "Codes.dat");
    RunResult r = runCopy(data.path(), {}, unattended());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Ошибка: Проблема с открытием баз"), std::string::npos) << r.err;
}

TEST(StartupProgram, MissingContentFileStopsWithTheOperatorMessage) {
    ScratchDir data;
    writeCatalogue(data.path(), smallShop().records);
    fs::remove(data / "Content.dat");
    RunResult r = runCopy(data.path(), {}, unattended());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Проблема: Ошибка открытия файла операторов"), std::string::npos) << r.err;
}

TEST(StartupProgram, BrowsingWithoutADisplaySaysSo) {
    ScratchDir data;
    writeCatalogue(data.path(), smallShop().records);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(v);
    RunResult r = runCopy(data.path(), {}, env);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("needs a display"), std::string::npos) << r.err;
}

TEST(StartupProgram, AParameterThatIsNoWorkbookDoesNothing) {
    ScratchDir data;
    writeFile(data / "LoadProt.txt", "old protocol");
    QProcessEnvironment env = unattended();
    env.remove("DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    for (QStringList args : {QStringList{"catalogue.xlsx"}, QStringList{"/d"}, QStringList{"catalogue"}}) {
        RunResult r = runCopy(data.path(), args, env);
        EXPECT_EQ(r.exitCode, 0) << args.join(' ').toStdString() << r.err;
        EXPECT_EQ(readFile(data / "LoadProt.txt"), "old protocol");
        EXPECT_FALSE(fs::exists(data / "Soft.dat"));
    }
}

TEST(StartupProgram, HelpAndVersionPrintUsage) {
    ScratchDir data;
    RunResult help = runCopy(data.path(), {"--help"}, QProcessEnvironment::systemEnvironment());
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Usage: vexa"), std::string::npos);
    RunResult version = runCopy(data.path(), {"--version"}, QProcessEnvironment::systemEnvironment());
    EXPECT_EQ(version.out.rfind("vexa ", 0), 0u);
}
