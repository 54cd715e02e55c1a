// vexa-gallery: shows every skinned control with a skin and sample content, to look at
// them on their own. Not installed.
//   vexa-gallery [--skin DIR] [--screenshot FILE.png]
// DIR holds vexa.INI, its pictures and readme.rtf (default: the sample skin of the
// source tree). With --screenshot the window is drawn once into FILE.png and the program
// ends; without a display it then runs on Qt's offscreen platform.
#include "cp1251.h"
#include "my_combo_box.h"
#include "my_db_ctrl_grid.h"
#include "my_rich_edit.h"
#include "my_scroll.h"
#include "my_tree_view.h"
#include "picture_control.h"
#include "skin.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

using namespace vexa;

namespace {

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// The window behind the controls: the skin's background picture or colour.
class Backdrop : public QWidget {
public:
    Backdrop(const Skin& skin) : skin_(skin) {
        setFixedSize(1024, 768);
        setWindowTitle("vexa-gallery");
        QPalette pal = palette();
        pal.setColor(QPalette::Window, toQColor(skin.MainBackColor));
        pal.setColor(QPalette::WindowText, toQColor(skin.MainFont.color));
        setPalette(pal);
        setFont(toQFont(skin.MainFont));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), toQColor(skin_.MainBackColor));
        if (!skin_.BackImage.isNull())
            p.drawImage(0, 0, skin_.BackImage.first());
    }

private:
    const Skin& skin_;
};

QLabel* label(QWidget* parent, const QString& text, const QRect& r, const QColor& color, const QFont& font) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(r);
    l->setFont(font);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, color);
    l->setPalette(pal);
    return l;
}

QLabel* picture(QWidget* parent, const QImage& img, QPoint at) {
    auto* l = new QLabel(parent);
    l->setPixmap(QPixmap::fromImage(img));
    l->setGeometry(QRect(at, img.isNull() ? QSize(1, 1) : img.size()));
    return l;
}

} // namespace

int main(int argc, char** argv) {
    std::filesystem::path skinDir = VEXA_SAMPLE_SKIN_DIR;
    std::string screenshot;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--skin") && i + 1 < argc)
            skinDir = argv[++i];
        else if (!std::strcmp(argv[i], "--screenshot") && i + 1 < argc)
            screenshot = argv[++i];
        else {
            std::fputs("Usage: vexa-gallery [--skin DIR] [--screenshot FILE.png]\n", stderr);
            return 2;
        }
    }
    if (!screenshot.empty())
        screenshot = std::filesystem::absolute(screenshot).string();
    if (!screenshot.empty() && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
    QApplication app(argc, argv);

    // Picture paths in the skin are relative to the program's folder, its working folder.
    std::error_code ec;
    std::filesystem::current_path(skinDir, ec);
    if (ec) {
        std::fprintf(stderr, "vexa-gallery: cannot use the skin folder %s: %s\n", skinDir.c_str(),
                     ec.message().c_str());
        return 1;
    }
    IniFile ini = IniFile::load(skinFilePath(skinDir / "vexa"));
    SkinPictureLoaders loaders = defaultSkinPictureLoaders();
    Skin skin = ReadSkin(ini, loaders);

    Backdrop window(skin);
    QFont mainFont = toQFont(skin.MainFont);
    label(&window, u("Всего: 1 234 наименования"), QRect(20, 18, 400, 24), toQColor(skin.Title1FontColor),
          mainFont);
    label(&window, u("Игры"), QRect(330, 18, 300, 24), toQColor(skin.Title2FontColor), mainFont);

    // The section tree with its bar placed by the owner.
    auto* tree = new TMyTreeView(&window);
    tree->setGeometry(20, 70, 262, 380);
    tree->setBackground(toQColor(skin.TreeBackColor), skin.TreeBackImage);
    tree->setTreeFont(toQFont(skin.TreeFont), toQColor(skin.TreeFont.color));
    const char* sections[] = {"Игры (412)", "Картинки (530)", "Мелодии (292)"};
    const char* genres[] = {"Аркады",    "Гонки",       "Логические", "Спорт",   "Стратегии", "Квесты",
                            "Карточные", "Приключения", "Животные",   "Природа", "Праздники", "Юмор",
                            "Поп",       "Рок",         "Классика",   "Шансон"};
    for (int s = 0; s < 3; ++s) {
        auto* top = new QTreeWidgetItem(tree, {u(sections[s])});
        for (int g = 0; g < 8; ++g)
            new QTreeWidgetItem(top, {u(genres[(s * 5 + g) % 16]) + QString(" (%1)").arg(10 + g * 7)});
        top->setExpanded(true);
    }
    tree->scrollBar()->setGeometry(284, 70, 14, 380);

    // Two selectors: the model selector open, a search selector closed.
    auto* models = new TMyComboBox(&window);
    models->setGeometry(20, 470, 240, 25);
    models->setListFont(toQFont(skin.ListFont), toQColor(skin.ListFont.color));
    for (const char* m : {"Alcatel OT 535", "Motorola C650", "Nokia 3100",          "Nokia 6230",
                          "Nokia 7610",     "Samsung E700",  "Samsung X100",        "Siemens C65",
                          "Siemens M55",    "Siemens SL55",  "Sony Ericsson K700i", "Sony Ericsson T610",
                          "LG G5300",       "Panasonic X70", "Philips 530",         "Sagem myX-6",
                          "Sharp GX30",     "Siemens CX65",  "Siemens S65",         "Sony Ericsson Z1010"})
        models->addItem(QString::fromUtf8(m));
    models->ConfirmedIndex = 3; // a closed box shows its confirmed entry
    models->setCurrentIndex(3);
    // The owner's key rule: Enter confirms the current entry, any other key clears it.
    for (TMyComboBox* box : {models}) {
        QObject::connect(box, &TMyComboBox::keyPressed, box, [box](int key, Qt::KeyboardModifiers) {
            box->ConfirmedIndex = key == Qt::Key_Return || key == Qt::Key_Enter ? box->currentIndex() : -1;
        });
    }
    auto* operators = new TMyComboBox(&window);
    // Beside the help text, where the open model list does not cover it.
    operators->setGeometry(740, 620, 200, 25);
    operators->setListFont(toQFont(skin.ListFont), toQColor(skin.ListFont.color));
    for (const char* o : {"Все операторы", "Оператор Север", "Оператор Юг"})
        operators->addItem(u(o));
    operators->setCurrentIndex(0);

    // The result grid: panels painted by a callback, with page and sort buttons.
    auto* results = new QWidget(&window);
    results->setGeometry(320, 50, 400, 700);
    auto* grid = new TMyDBCtrlGrid(results);
    grid->setPanelHeight(148);
    grid->setMaximumHeight(600);
    grid->setGeometry(0, 0, 380, 600);
    QFont titleFont = toQFont(skin.MainFont);
    titleFont.setBold(true);
    QFont descFont = toQFont(skin.DescFont);
    const char* names[] = {"Гонки по крышам", "Морской бой", "Тетрис 3D", "Футбол 2005",
                           "Шахматы",         "Пасьянс",     "Змейка",    "Сапёр"};
    grid->setPaintPanel([&](QPainter& p, const QRect& r, int record, bool current) {
        QRect inner = r.adjusted(4, 4, -20, -4);
        if (current)
            p.fillRect(inner, QColor(255, 255, 255, 28));
        p.fillRect(QRect(inner.left() + 4, inner.top() + 8, 96, 128), QColor(40, 90, 160));
        p.setPen(Qt::white);
        p.drawText(QRect(inner.left() + 4, inner.top() + 8, 96, 128), Qt::AlignCenter, "128x128");
        p.setFont(titleFont);
        p.setPen(toQColor(skin.Header1));
        p.drawText(QPoint(inner.left() + 112, inner.top() + 22), u(names[record % 8]));
        p.setFont(mainFont);
        p.setPen(toQColor(skin.MainFont.color));
        p.drawText(QPoint(inner.left() + 112, inner.top() + 42), u("Жанр: аркады"));
        p.setFont(descFont);
        p.setPen(toQColor(skin.DescFont.color));
        p.drawText(QRect(inner.left() + 112, inner.top() + 50, inner.width() - 116, 80), Qt::TextWordWrap,
                   u("Увлекательная игра для вашего телефона: три уровня сложности и таблица рекордов."));
    });
    grid->setRecordCount(24);
    picture(results, skin.BtnHome, QPoint(8, 620));
    picture(results, skin.BtnEnd, QPoint(40, 620));
    picture(results, skin.BtnSortUp, QPoint(90, 626));
    picture(results, skin.BtnSortDn, QPoint(110, 626));

    // The help text and a bar without a target.
    auto* help = new TMyRichEdit(&window);
    help->setGeometry(740, 70, 264, 380);
    help->setFont(toQFont(skin.DescFont));
    QPalette helpPal = help->palette();
    helpPal.setColor(QPalette::Base, toQColor(skin.MainBackColor));
    helpPal.setColor(QPalette::Text, toQColor(skin.DescFont.color));
    help->setPalette(helpPal);
    help->loadRtfFile("readme.rtf");
    auto* lone = new TMyScroll(&window);
    lone->setGeometry(990, 480, 14, 200);
    lone->SetParams(30, 0, 100);

    auto* back = new QPushButton(&window);
    if (!skin.BtnBack1.isNull()) {
        back->setIcon(QPixmap::fromImage(skin.BtnBack1));
        back->setIconSize(skin.BtnBack1.size());
        back->setFixedSize(skin.BtnBack1.size());
        back->setFlat(true);
    } else {
        back->setText(u("Назад"));
    }
    back->move(740, 480);
    // The nothing-found picture plays when it is an animated GIF.
    auto* notFound = new TPictureControl(&window);
    notFound->setPicture(skin.GifNotFound);
    notFound->setGeometry(
        QRect(QPoint(740, 530), skin.GifNotFound.isNull() ? QSize(1, 1) : skin.GifNotFound.first().size()));

    window.show();
    models->openList();
    grid->scrollBar()->SyncWithWindow();
    QApplication::processEvents();
    if (!screenshot.empty()) {
        QApplication::processEvents();
        if (!window.grab().save(QString::fromStdString(screenshot))) {
            std::fprintf(stderr, "vexa-gallery: cannot write %s\n", screenshot.c_str());
            return 1;
        }
        return 0;
    }
    return QApplication::exec();
}
