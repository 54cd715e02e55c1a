#include "message_box.h"

#include "cp1251.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>

namespace vexa {

bool isUnattended() {
    const char* v = std::getenv("VEXA_UNATTENDED");
    return v != nullptr;
}

void MessageBox(const std::string& title, const std::string& text) {
    std::string t = cp1251::toUtf8(title), x = cp1251::toUtf8(text);
    // Without a real screen (Qt's offscreen platform, as when importing from a terminal or
    // a scheduled job) nobody could answer a box: the text goes to standard error.
    bool offscreen = qApp && QGuiApplication::platformName() == QLatin1String("offscreen");
    if (isUnattended() || !qApp || offscreen) {
        std::fprintf(stderr, "%s: %s\n", t.c_str(), x.c_str());
        std::fflush(stderr);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(t), QString::fromStdString(x),
                    QMessageBox::Ok);
    box.exec();
}

} // namespace vexa
