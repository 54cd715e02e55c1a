// The inspector is how maintainers and scripts see a catalogue as the program loads it.
#include "cp1251.h"
#include "test_support.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

using namespace vexa;
using namespace vexa::test;

namespace {

QJsonObject inspect(const QStringList& args, int* exitCode = nullptr) {
    QProcess p;
    p.start(VEXA_INSPECT, args);
    p.waitForFinished(60000);
    if (exitCode)
        *exitCode = p.exitCode();
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

QStringList strings(const QJsonValue& v) {
    QStringList out;
    for (const auto& e : v.toArray())
        out << e.toString();
    return out;
}

} // namespace

TEST(Inspect, LoadPrintsTreeSelectorsAndOrderCodes) {
    ScratchDir dir;
    SoftBuilder b;
    b.provider("МобиФан");
    b.category("Игры", 1);
    b.genre("Аркады");
    int tetris = b.item("Тетрис");
    int snake = b.item("Змейка");
    b.category("Картинки", 2);
    b.genre("Природа");
    b.item("Лес");
    std::vector<TModelRecord> models = {{"Nokia 6230", "", {tetris}}, {"Siemens C65", "", {tetris, snake}}};
    // Two codes for one item; the later one wins for the model both list.
    std::vector<TSoftCodeRecord> codes = {{tetris, "111", {0, 1}}, {tetris, "222", {1}}};
    writeCatalogue(dir.path(), b.records, models, codes, {{cp("МТС"), 0, cp("Москва")}});

    QString d = QString::fromStdString(dir.path().string());
    QJsonObject all = inspect({"load", d});
    EXPECT_EQ(all["model_position"].toInt(), 0);
    EXPECT_TRUE(all["selected_model"].isNull());
    EXPECT_EQ(all["total_count"].toInt(), 3);
    EXPECT_EQ(all["count_label"].toString(), "НАЙДЕНО 3 ПРОГРАММЫ");
    QJsonArray tree = all["tree"].toArray();
    ASSERT_EQ(tree.size(), 2);
    EXPECT_EQ(tree[0].toObject()["label"].toString(), "Игры [2]");
    EXPECT_EQ(strings(tree[0].toObject()["genres"]), QStringList{"Аркады [2]"});
    EXPECT_EQ(strings(all["model_selector"]),
              (QStringList{" Выберите модель вашего телефона", "Nokia 6230", "Siemens C65"}));
    EXPECT_EQ(strings(all["operator_selector"]), (QStringList{" Все", "МТС"}));
    QJsonObject codesOfTetris = all["order_codes"].toObject()[QString::number(tetris)].toObject();
    EXPECT_EQ(codesOfTetris["0"].toString(), "111");
    EXPECT_EQ(codesOfTetris["1"].toString(), "222");
    EXPECT_FALSE(all["order_codes"].toObject().contains(QString::number(snake)));

    QJsonObject one = inspect({"load", d, "--model", "1"});
    EXPECT_EQ(one["model_position"].toInt(), 1);
    EXPECT_EQ(one["selected_model"].toString(), "Nokia 6230");
    // The rebuild walks only the model's own list, so the picture it does not list is not counted.
    EXPECT_EQ(one["total_count"].toInt(), 1);
    EXPECT_EQ(one["tree"].toArray().size(), 1);
}

TEST(Inspect, MissingFilesFailWithTheLoadersMessage) {
    ScratchDir dir;
    int code = 0;
    QProcess p;
    p.start(VEXA_INSPECT, {"load", QString::fromStdString(dir.path().string())});
    p.waitForFinished(60000);
    code = p.exitCode();
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(p.readAllStandardError().contains("Ошибка открытия файла программ"));
}

namespace {

QList<int> ints(const QJsonValue& v) {
    QList<int> out;
    for (const auto& e : v.toArray())
        out << e.toInt();
    return out;
}

} // namespace

TEST(Inspect, SearchAndListPrintTheResultTables) {
    ScratchDir dir;
    SoftBuilder b;
    int mobi = b.provider("МобиФан");
    b.category("Игры", 1);
    b.genre("Аркады");
    int tetris = b.item("Тетрис", "Падающие <b>блоки</b>");
    int snake = b.item("Змейка", "Классика");
    b.category("Картинки", 2);
    b.genre("Природа");
    int forest = b.item("Лес");
    int zvon = b.provider("Звон");
    b.category("Мелодии", 3);
    b.genre("Поп");
    int hit = b.item("Хит", "Блоки и звон");
    std::vector<TModelRecord> models = {{"Nokia 6230", "", {tetris, hit}}};
    std::vector<TSoftCodeRecord> codes = {{tetris, "111", {0}}};
    writeCatalogue(dir.path(), b.records, models, codes, {{cp("МТС"), zvon, ""}, {cp("Билайн"), mobi, ""}});
    QString d = QString::fromStdString(dir.path().string());

    QJsonObject all = inspect({"search", d});
    EXPECT_EQ(ints(all["games"]), (QList<int>{tetris, snake}));
    EXPECT_EQ(ints(all["pictures"]), QList<int>{forest});
    EXPECT_EQ(ints(all["sounds"]), QList<int>{hit});
    EXPECT_EQ(all["counts"].toObject()["games"].toInt(), 2);
    EXPECT_EQ(all["total"].toInt(), 4);
    EXPECT_EQ(all["count_label"].toString(), "НАЙДЕНО 4 ПРОГРАММЫ");
    EXPECT_EQ(all["opened"].toString(), "games");
    EXPECT_FALSE(all["nothing_found"].toBool());

    QJsonObject phrase = inspect({"search", d, "--phrase", "  БЛОКИ"});
    EXPECT_EQ(ints(phrase["games"]), QList<int>{tetris});
    EXPECT_EQ(ints(phrase["sounds"]), QList<int>{hit});
    QJsonObject op = inspect({"search", d, "--operator", "МТС", "--provider", " Все"});
    EXPECT_EQ(ints(op["sounds"]), QList<int>{hit});
    EXPECT_EQ(op["opened"].toString(), "sounds");
    EXPECT_EQ(op["total"].toInt(), 1);
    // With a model: the game by its order code, the picture anyway, the sound has no code.
    QJsonObject model = inspect({"search", d, "--model", "1"});
    EXPECT_EQ(ints(model["games"]), QList<int>{tetris});
    EXPECT_EQ(ints(model["pictures"]), QList<int>{forest});
    EXPECT_TRUE(model["sounds"].toArray().isEmpty());
    QJsonObject none = inspect({"search", d, "--category", "Мелодии", "--genre", "Аркады"});
    EXPECT_TRUE(none["nothing_found"].toBool());
    EXPECT_TRUE(none["opened"].isNull());
    EXPECT_EQ(none["count_label"].toString(), "НАЙДЕНО 0 ПРОГРАММ");
    int code = 0;
    inspect({"search", d, "--genre", "Нет такого"}, &code);
    EXPECT_EQ(code, 2);

    QJsonObject listed = inspect({"list", d, "Игры/Аркады"});
    EXPECT_EQ(ints(listed["games"]), (QList<int>{tetris, snake}));
    EXPECT_EQ(listed["opened"].toString(), "games");
    EXPECT_EQ(listed["count_label"].toString(), "НАЙДЕНО 4 ПРОГРАММЫ");
    // For a model: its own list decides, and labels may carry their counts.
    QJsonObject listedForModel = inspect({"list", d, "--model", "1", "Мелодии [1]/Поп [1]"});
    EXPECT_EQ(ints(listedForModel["sounds"]), QList<int>{hit});
    EXPECT_EQ(listedForModel["opened"].toString(), "sounds");
    EXPECT_EQ(listedForModel["count_label"].toString(), "НАЙДЕНО 2 ПРОГРАММЫ");
    inspect({"list", d, "Игры/Гонки"}, &code);
    EXPECT_EQ(code, 2);
}

TEST(Inspect, ListingOfMergedCategoriesOfTwoKindsOpensTheFilledTable) {
    ScratchDir dir;
    SoftBuilder b;
    b.provider("Один");
    b.category("Разное", 1);
    b.genre("Новинки");
    int game = b.item("Игра");
    b.provider("Два");
    b.category("Разное", 3);
    b.genre("Новинки");
    int tune = b.item("Мелодия");
    writeCatalogue(dir.path(), b.records);
    QString d = QString::fromStdString(dir.path().string());

    QProcess p;
    p.start(VEXA_INSPECT, {"list", d, "Разное/Новинки [2]"});
    p.waitForFinished(60000);
    QByteArray raw = p.readAllStandardOutput();
    QJsonObject listed = QJsonDocument::fromJson(raw).object();
    // Both entries sit in the games table, which opens, though the sounds genre was walked
    // last.
    EXPECT_EQ(ints(listed["games"]), (QList<int>{game, tune}));
    EXPECT_TRUE(listed["sounds"].toArray().isEmpty());
    EXPECT_EQ(listed["opened"].toString(), "games");
    EXPECT_FALSE(listed["nothing_found"].toBool());
    EXPECT_EQ(listed["total"].toInt(), 2);
    EXPECT_EQ(listed["count_label"].toString(), "НАЙДЕНО 2 ПРОГРАММЫ");
    // The fields come in their fixed order.
    QStringList keys = {"\"games\"", "\"pictures\"",    "\"sounds\"", "\"counts\"",
                        "\"total\"", "\"count_label\"", "\"opened\"", "\"nothing_found\""};
    qsizetype at = -1;
    for (const QString& k : keys) {
        qsizetype next = raw.indexOf(k.toUtf8());
        EXPECT_GT(next, at) << k.toStdString();
        at = next;
    }
}
