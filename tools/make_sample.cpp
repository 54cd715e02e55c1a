// vexa-make-sample OUTDIR: writes the sample catalogue of a small mobile-content shop
// into OUTDIR: the four data files (through the catalogue's writers), item pictures in
// JPEG and GIF (one of them animated) and tree icons. Everything is made from the code
// below, so the sample is the same on every run.
#include "cp1251.h"
#include "data_files.h"
#include "records.h"

#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <gif_lib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace vexa;
namespace fs = std::filesystem;

namespace {

fs::path outDir;

// A catalogue-style name ("FOLDER\file") as a path under the output folder.
fs::path fileOf(const std::string& utf8Name) {
    std::string s = utf8Name;
    for (char& c : s)
        if (c == '\\')
            c = '/';
    return outDir / s;
}

void ensureParent(const fs::path& p) {
    fs::create_directories(p.parent_path());
}

// Picks a hue from a name so that every picture looks different.
int hueOf(const std::string& s) {
    unsigned h = 2166136261u;
    for (unsigned char c : s)
        h = (h ^ c) * 16777619u;
    return static_cast<int>(h % 360);
}

QImage drawPicture(const std::string& title, int hue, int frame = 0, int w = 120, int h = 120) {
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, w, h);
    g.setColorAt(0, QColor::fromHsv(hue, 160, 250));
    g.setColorAt(1, QColor::fromHsv((hue + 60) % 360, 220, 120));
    p.fillRect(img.rect(), g);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 6; ++i) {
        p.setBrush(QColor::fromHsv((hue + 40 * i) % 360, 200, 255, 140));
        int r = 10 + (i * 7) % 25;
        int x = (i * 37 + frame * 12) % w, y = (i * 53 + frame * 7) % h;
        p.drawEllipse(QPoint(x, y), r, r);
    }
    QFont f("DejaVu Sans");
    f.setPixelSize(14);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(4, h - 44, w - 8, 40), Qt::AlignCenter | Qt::TextWordWrap,
               QString::fromStdString(title));
    return img;
}

void saveJpeg(const std::string& name, const QImage& img) {
    fs::path p = fileOf(name);
    ensureParent(p);
    img.save(QString::fromStdString(p.string()), "JPEG", 85);
}

// Writes frames as a GIF with giflib, on a fixed 6x6x6 colour cube palette.
void saveGif(const std::string& name, const std::vector<QImage>& frames, int delayCs) {
    fs::path p = fileOf(name);
    ensureParent(p);
    int err = 0;
    GifFileType* gif = EGifOpenFileName(p.c_str(), false, &err);
    if (!gif)
        return;
    ColorMapObject* map = GifMakeMapObject(256, nullptr);
    for (int i = 0; i < 256; ++i) {
        int r = i < 216 ? (i / 36) * 51 : (i - 216) * 6;
        int g = i < 216 ? ((i / 6) % 6) * 51 : (i - 216) * 6;
        int b = i < 216 ? (i % 6) * 51 : (i - 216) * 6;
        map->Colors[i] = {static_cast<GifByteType>(r), static_cast<GifByteType>(g),
                          static_cast<GifByteType>(b)};
    }
    int w = frames.front().width(), h = frames.front().height();
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, w, h, 8, 0, map);
    if (frames.size() > 1) {
        const char loop[] = "NETSCAPE2.0";
        unsigned char sub[] = {1, 0, 0};
        EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
        EGifPutExtensionBlock(gif, 11, loop);
        EGifPutExtensionBlock(gif, 3, sub);
        EGifPutExtensionTrailer(gif);
    }
    for (const QImage& frame : frames) {
        GraphicsControlBlock gcb{DISPOSE_DO_NOT, false, delayCs, NO_TRANSPARENT_COLOR};
        GifByteType ext[4];
        size_t n = EGifGCBToExtension(&gcb, ext);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(n), ext);
        EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr);
        std::vector<GifPixelType> line(static_cast<size_t>(w));
        QImage img = frame.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < h; ++y) {
            const auto* px = reinterpret_cast<const QRgb*>(img.constScanLine(y));
            for (int x = 0; x < w; ++x) {
                int r = (qRed(px[x]) + 25) / 51, g = (qGreen(px[x]) + 25) / 51, b = (qBlue(px[x]) + 25) / 51;
                line[static_cast<size_t>(x)] = static_cast<GifPixelType>(r * 36 + g * 6 + b);
            }
            EGifPutLine(gif, line.data(), w);
        }
    }
    GifFreeMapObject(map);
    EGifCloseFile(gif, &err);
}

void saveIcon(const std::string& name, int hue, bool open) {
    QImage img(32, 32, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor::fromHsv(hue, 200, open ? 255 : 200));
    p.setPen(QPen(QColor::fromHsv(hue, 255, 90), 2));
    if (open)
        p.drawEllipse(4, 4, 24, 24);
    else
        p.drawRoundedRect(4, 4, 24, 24, 6, 6);
    p.setBrush(Qt::white);
    p.setPen(Qt::NoPen);
    p.drawEllipse(12, 12, 8, 8);
    p.end();
    fs::path path = fileOf(name);
    ensureParent(path);
    img.save(QString::fromStdString(path.string()), "ICO");
}

struct Genre {
    const char* name;
    const char* folder;
    std::vector<const char*> items;
};
struct Category {
    const char* name;
    int section;
    const char* description;
    std::vector<Genre> genres;
};
struct Provider {
    const char* name;
    const char* folder; // as the import writes it, ending with '\'
    std::vector<Category> categories;
};

std::vector<const char*> names(std::initializer_list<const char*> l) {
    return l;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: vexa-make-sample OUTDIR\n", stderr);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    outDir = argv[1];
    fs::create_directories(outDir);

    const std::vector<Provider> providers = {
        {"МобиФан",
         "MOBIFAN\\",
         {{"Игры",
           1,
           "<b>Java-игры</b> для вашего телефона.# Выберите жанр слева.",
           {{"Аркады", "ARCADE\\",
             names({"Космический рейд", "Пиксельный герой", "Лабиринт страха", "Ниндзя-кот", "Бешеный кролик",
                    "Змейка 3D", "Тетрикс", "Шарики", "Прыгун", "Звёздный десант", "Пираты Карибов",
                    "Крот-шахтёр", "Бомбермен"})},
            {"Головоломки", "PUZZLE\\",
             names({"Судоку", "Сокобан", "Пятнашки", "Кубик", "Шахматные задачи", "Морской бой", "Кроссворд",
                    "Мозаика", "Три в ряд", "Логика", "Ханойская башня", "Сапёр"})},
            {"Гонки", "RACE\\",
             names({"Ночные гонки", "Ралли Сибирь", "Формула скорости", "Мотокросс", "Дрифт-король",
                    "Грузовики", "Картинг", "Уличный гонщик", "Трасса 66", "Зимний заезд", "Байкер",
                    "Гонка на выживание"})},
            {"Квесты", "QUEST\\",
             names({"Тайна замка", "Остров сокровищ", "Детектив", "Затерянный храм", "Побег из тюрьмы",
                    "Код да Винчи", "Шерлок", "Подземелье", "Капитан Немо", "Агент 007", "Мумия",
                    "Атлантида"})},
            {"Стратегии", "STRAT\\",
             names({"Империя", "Осада крепости", "Космические колонии", "Танковый бой", "Война кланов",
                    "Торговец", "Ферма", "Град обреченный", "Адмирал", "Рыцари", "Викинги", "Фараон"})}}},
          {"Картинки",
           2,
           "Яркие <c=red>картинки</c> на экран телефона.",
           {{"Природа", "NATURE\\",
             names({"Берёзовая роща", "Закат над морем", "Горное озеро", "Осенний лес", "Северное сияние",
                    "Водопад", "Маковое поле", "Зимняя сказка", "Радуга", "Пустыня", "Байкал", "Туман"})},
            {"Космос", "SPACE\\",
             names({"Сатурн", "Млечный путь", "Туманность", "Луна", "Марс", "Комета", "Галактика",
                    "Орбитальная станция", "Метеор", "Солнечная вспышка", "Астронавт", "Земля из космоса"})},
            {"Автомобили", "AUTO\\",
             names({"Спорткар", "Ретро-седан", "Внедорожник", "Кабриолет", "Гоночный болид", "Лимузин",
                    "Пикап", "Мускул-кар", "Электромобиль", "Такси", "Грузовик", "Мотоцикл"})}}}}},
        {"Звонкий Мир",
         "ZVON\\",
         {{"Мелодии",
           3,
           "Полифонические <b>мелодии</b> на звонок.",
           {{"Поп", "POP\\",
             names({"Летний хит", "Танцуй со мной", "Ночной город", "Лунная дорожка", "Только ты",
                    "Радио-волна", "Звёзды", "Первая любовь", "Дискотека", "Солнце", "Мечта", "Океан",
                    "Снег"})},
            {"Рок", "ROCK\\",
             names({"Гроза", "Стальной ветер", "Дорога домой", "Металл", "Пульс", "Кочевник", "Гитарное соло",
                    "Буря", "Ночной поезд", "Бунтарь", "Свобода", "Огонь"})},
            {"Классика", "CLASSIC\\",
             names({"Лунная соната", "Времена года", "Полёт шмеля", "К Элизе", "Турецкий марш",
                    "Вальс цветов", "Танец феи", "Ода к радости", "Болеро", "Лебединое озеро", "Ave Maria",
                    "Маленькая ночная серенада"})},
            {"Шансон", "CHANSON\\",
             names({"Владимирский централ", "Кольщик", "Гоп-стоп", "Таганка", "Ванинский порт", "Мурка",
                    "Журавли", "Бродяга", "Ночное такси", "Белый лебедь", "Письмо маме", "Осень"})},
            {"Приколы", "FUN\\",
             names({"Кукушка", "Кошачий хор", "Звонок из космоса", "Смех до слёз", "Петух на рассвете",
                    "Бабушкин телефон", "Сирена", "Барабанщик", "Квакша", "Эхо", "Голос робота",
                    "Свисток"})}}},
          {"Игры",
           1,
           "Игры от Звонкого Мира.",
           {{"Аркады", "ARCADE\\",
             names({"Музыкальный бой", "Ритм-машина", "Диджей", "Караоке-звезда", "Нота за нотой"})},
            {"Спорт", "SPORT\\",
             names({"Футбол 2007", "Хоккей", "Теннис", "Бильярд", "Боулинг", "Бокс", "Баскетбол", "Гольф",
                    "Лыжи", "Волейбол"})}}}}},
        {"ПиксельАрт",
         "CONTENT3\\",
         {{"Картинки",
           2,
           "Картинки от ПиксельАрт.",
           {{"Животные", "ANIMALS\\",
             names({"Котёнок", "Щенок", "Тигр", "Панда", "Лиса", "Совёнок", "Дельфин", "Пингвин", "Ёжик",
                    "Белка", "Медвежонок", "Зебра"})},
            {"Юмор", "HUMOR\\",
             names({"Весёлый смайлик", "Танцующий кот", "Улыбка", "Клоун", "Хомяк-обжора", "Сонный пёс",
                    "Злая птичка", "Кот в сапогах"})}}},
          {"Анимации",
           2,
           "Анимированные картинки.",
           {{"Праздники", "HOLIDAY\\",
             names({"С днём рождения", "С Новым годом", "С 8 Марта", "С 23 Февраля", "Валентинка",
                    "Салют"})}}}}}};

    const char* blurbs[] = {
        "Захватывающая игра с простым управлением.# Подходит для всех возрастов.",
        "<b>Хит сезона!</b># Десятки уровней и <c=blue>секретные бонусы</c>.",
        "<i>Новинка.</i> Лучший выбор для длинной дороги.",
        "Красочная графика и отличный звук.# <h1>Рекомендуем</h1>",
        "Классика жанра в новом исполнении.# Управление: <b>2, 4, 6, 8</b>, огонь: <b>5</b>.",
    };

    std::vector<TSoftRecord> soft;
    std::vector<int> pictureItems, gameItems, soundItems;
    int animatedDone = 0;
    for (const Provider& pv : providers) {
        TSoftRecord pr;
        pr.Level = 1;
        pr.ParentID = 0;
        pr.Brief = cp(pv.name);
        pr.Image4 = cp(pv.folder);
        int providerId = static_cast<int>(soft.size());
        soft.push_back(pr);
        for (const Category& cat : pv.categories) {
            TSoftRecord c;
            c.Level = 2;
            c.ParentID = providerId;
            c.Brief = cp(cat.name);
            c.Image4 = std::to_string(cat.section);
            c.Descript = cp(cat.description);
            std::string iconBase = std::string("ICONS\\cat") + std::to_string(soft.size());
            c.Image1 = cp(iconBase + ".ico");
            c.Image2 = cp(iconBase + "o.ICO");
            saveIcon(std::string(pv.folder) + iconBase + ".ico", hueOf(cat.name), false);
            saveIcon(std::string(pv.folder) + iconBase + "o.ICO", hueOf(cat.name), true);
            int categoryId = static_cast<int>(soft.size());
            soft.push_back(c);
            for (const Genre& gn : cat.genres) {
                TSoftRecord g;
                g.Level = 3;
                g.ParentID = categoryId;
                g.Brief = cp(gn.name);
                g.Image4 = cp(gn.folder);
                std::string gIcon = std::string("ICONS\\g") + std::to_string(soft.size()) + ".ico";
                g.Image1 = cp(gIcon);
                saveIcon(std::string(pv.folder) + gIcon, hueOf(gn.name), false);
                int genreId = static_cast<int>(soft.size());
                soft.push_back(g);
                int k = 0;
                for (const char* itemName : gn.items) {
                    TSoftRecord it;
                    it.Level = 4;
                    it.ParentID = genreId;
                    it.Brief = cp(itemName);
                    std::string base = std::string("i") + std::to_string(soft.size());
                    std::string folder = std::string(pv.folder) + gn.folder;
                    int hue = hueOf(itemName);
                    bool gif = cat.section == 2 && (k % 3 == 1 || std::string(cat.name) == "Анимации");
                    if (gif) {
                        std::vector<QImage> frames;
                        bool animate = std::string(cat.name) == "Анимации" || animatedDone == 0;
                        int count = animate ? 6 : 1;
                        for (int f = 0; f < count; ++f)
                            frames.push_back(drawPicture(itemName, hue, f));
                        saveGif(folder + base + ".gif", frames, 15);
                        animatedDone += animate;
                        it.Image1 = base + ".gif";
                    } else {
                        saveJpeg(folder + base + ".jpg", drawPicture(itemName, hue));
                        it.Image1 = base + ".jpg";
                        if (cat.section == 1) {
                            saveJpeg(folder + base + "b.jpg",
                                     drawPicture(itemName, (hue + 120) % 360, 2, 128, 160));
                            it.Image2 = base + "b.jpg";
                        }
                    }
                    std::string d = std::string(blurbs[(k + genreId) % 5]);
                    if (cat.section == 3)
                        d = std::string("Мелодия <b>«") + itemName + "»</b>.# Формат: MIDI, 40 голосов.";
                    else if (cat.section == 2)
                        d = std::string("Картинка «") + itemName + "» 128x128, <c=green>цветная</c>.";
                    it.Descript = cp(d);
                    int id = static_cast<int>(soft.size());
                    (cat.section == 2   ? pictureItems
                     : cat.section == 3 ? soundItems
                                        : gameItems)
                        .push_back(id);
                    soft.push_back(it);
                    ++k;
                }
            }
        }
    }

    const char* modelNames[] = {
        "Alcatel OT-535", "LG G7100",    "Motorola C650", "Motorola E398",       "Motorola V3",
        "Nokia 3100",     "Nokia 3510i", "Nokia 6230",    "Nokia 6600",          "Nokia 7610",
        "Panasonic X70",  "Philips 530", "Sagem myX-5",   "Samsung C100",        "Samsung E700",
        "Samsung X450",   "Siemens C65", "Siemens M55",   "Sony Ericsson K700i", "Sony Ericsson T610"};
    std::vector<TModelRecord> models;
    for (int m = 0; m < 20; ++m) {
        TModelRecord rec;
        rec.Model = modelNames[m];
        // Every model plays sounds; newer ones run more games. Pictures suit every model.
        for (size_t i = 0; i < gameItems.size(); ++i)
            if ((i + static_cast<size_t>(m)) % 3 != 0 || m >= 14)
                rec.SoftIDs.push_back(gameItems[i]);
        for (size_t i = 0; i < soundItems.size(); ++i)
            if (m != 13 || i % 2 == 0)
                rec.SoftIDs.push_back(soundItems[i]);
        for (size_t i = 0; i < pictureItems.size(); i += 2)
            rec.SoftIDs.push_back(pictureItems[i]);
        models.push_back(std::move(rec));
    }

    // Order codes: one code for the Nokia-like models, one for all others, per item.
    std::vector<TSoftCodeRecord> codes;
    auto addCodes = [&](const std::vector<int>& items, const char* prefix) {
        for (int id : items) {
            TSoftCodeRecord a, b;
            a.SoftID = b.SoftID = id;
            a.Code = std::string(prefix) + std::to_string(1000 + id);
            b.Code = std::string(prefix) + std::to_string(5000 + id);
            for (int m = 0; m < 20; ++m) {
                bool listed = std::find(models[m].SoftIDs.begin(), models[m].SoftIDs.end(), id) !=
                              models[m].SoftIDs.end();
                if (!listed && prefix[0] != 'P')
                    continue;
                (m >= 5 && m <= 9 ? a : b).ModelIndexes.push_back(m);
            }
            if (!a.ModelIndexes.empty())
                codes.push_back(a);
            if (!b.ModelIndexes.empty())
                codes.push_back(b);
        }
    };
    addCodes(gameItems, "G");
    addCodes(soundItems, "S");
    addCodes(pictureItems, "P");

    std::vector<TOperatorRecord> ops = {
        {cp("Билайн"), 0, cp("Москва и область: SMS на номер 4443.# Стоимость 1,5 у.е.")},
        {cp("Билайн"), 42, cp("Вся Россия: SMS на номер 4443.")},
        {cp("МегаФон"), 0, cp("Северо-Запад: SMS на номер 1121.")},
        {cp("МегаФон"), 42, cp("")},
        {cp("МегаФон"), 0, cp("")},
        {cp("МТС"), 0, cp("Москва: SMS на номер 7757.# Санкт-Петербург: 7758.")},
    };
    // Providers by SoftID: the first record of each provider block.
    std::vector<int> providerIds;
    for (size_t i = 0; i < soft.size(); ++i)
        if (soft[i].Level == 1)
            providerIds.push_back(static_cast<int>(i));
    ops[1].ContentID = providerIds[1];
    ops[3].ContentID = providerIds[1];
    ops[4].ContentID = providerIds[2];
    ops[5].ContentID = providerIds[2];
    // Content.dat is sorted by operator name, as the import writes it.
    std::stable_sort(ops.begin(), ops.end(), [](const TOperatorRecord& a, const TOperatorRecord& b) {
        return cp1251::compareLatinNoCase(a.Operator, b.Operator) < 0;
    });

    bool ok = writeWholeFile(outDir / kModelsFile, encodeModelsFile(models)) &&
              writeWholeFile(outDir / kSoftFile, encodeSoftFile(soft)) &&
              writeWholeFile(outDir / kCodesFile, encodeCodesFile(codes)) &&
              writeWholeFile(outDir / kContentFile, encodeContentFile(ops));
    if (!ok) {
        std::fputs("vexa-make-sample: cannot write the data files\n", stderr);
        return 1;
    }
    std::printf("%zu records (%zu items), %zu models, %zu codes, %zu operator rows in %s\n", soft.size(),
                gameItems.size() + soundItems.size() + pictureItems.size(), models.size(), codes.size(),
                ops.size(), outDir.c_str());
    return 0;
}
