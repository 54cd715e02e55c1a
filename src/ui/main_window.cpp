#include "main_window.h"

#include "cp1251.h"
#include "message_box.h"
#include "wait_cursor.h"

#include <algorithm>

#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vexa {
namespace {

QString q(const std::string& cp1251Text) {
    return QString::fromStdString(cp1251::toUtf8(cp1251Text));
}

// The two built-in tree icons: a closed and an open folder.
QIcon defaultFolderIcon(bool open) {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 90, 20), 1));
    p.setBrush(QColor(240, 200, 90));
    p.drawRect(3, 9, 26, 18);
    p.drawRect(3, 6, 11, 4);
    if (open) {
        p.setBrush(QColor(255, 225, 130));
        QPolygon flap;
        flap << QPoint(7, 14) << QPoint(31, 14) << QPoint(27, 27) << QPoint(3, 27);
        p.drawPolygon(flap);
    }
    return QIcon(pm);
}

} // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent, Qt::FramelessWindowHint) {
    setObjectName("Form1");
    setWindowTitle("Vexa");
    setFixedSize(1024, 768);
    TreeImages << defaultFolderIcon(false) << defaultFolderIcon(true);

    LabelRecords = new QLabel(this);
    LabelRecords->setObjectName("LabelRecords");
    QFont labelFont = LabelRecords->font();
    labelFont.setPixelSize(16);
    labelFont.setBold(true);
    LabelRecords->setFont(labelFont);
    LabelRecords->hide();

    ModelSelector = new QComboBox(this);
    ModelSelector->setObjectName("ModelSelector");
    ModelSelector->addItem(q(Cat.ModelSelector.lines().front()));
    // A model counts as chosen when it is confirmed: picked from the list or Enter.
    connect(ModelSelector, qOverload<int>(&QComboBox::activated), this, [this](int) { ApplyModelFilter(); });

    ProgressModel = new QProgressBar(this);
    ProgressModel->setObjectName("ProgressModel");
    ProgressModel->setTextVisible(false);
    ProgressModel->hide();

    ContentTree = new QTreeWidget(this);
    ContentTree->setObjectName("ContentTree");
    ContentTree->setHeaderHidden(true);
    ContentTree->setIconSize(QSize(32, 32));
    QFont treeFont = ContentTree->font();
    treeFont.setPixelSize(14);
    ContentTree->setFont(treeFont);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addWidget(LabelRecords);
    layout->addWidget(ModelSelector);
    layout->addWidget(ContentTree, 1);

    Cat.setIconLoader([this](const std::filesystem::path& file) { return loadTreeIcon(file); });
}

TForm1::~TForm1() = default;

void TForm1::ShowFoundCount(std::int32_t n) {
    LabelRecords->setText(q(Catalogue::FoundCountText(n)));
    LabelRecords->show();
}

void TForm1::mirrorTree() {
    ContentTree->clear();
    auto icon = [this](int index) {
        return index >= 0 && index < TreeImages.size() ? TreeImages[index] : QIcon();
    };
    for (const TreeNode& category : Cat.Tree) {
        auto* top = new QTreeWidgetItem(ContentTree, QStringList(q(category.Text)));
        top->setIcon(0, icon(category.ImageIndex));
        top->setData(0, Qt::UserRole, category.Node);
        for (const TreeNode& genre : category.Children) {
            auto* child = new QTreeWidgetItem(top, QStringList(q(genre.Text)));
            child->setIcon(0, icon(genre.ImageIndex));
            child->setData(0, Qt::UserRole, genre.Node);
        }
    }
    ContentTree->expandAll();
}

void TForm1::mirrorModelSelector() {
    ModelSelector->clear();
    for (const std::string& line : Cat.ModelSelector.lines())
        ModelSelector->addItem(q(line));
    ModelSelector->setCurrentIndex(0);
}

void TForm1::HideResultArea() {}

void TForm1::ApplyModelFilter() {
    WaitCursor cursor;
    ContentTree->clear();
    HideResultArea();
    ProgressModel->setGeometry(ModelSelector->geometry());
    ProgressModel->raise();
    ProgressModel->setValue(0);
    ProgressModel->show();

    int position = ModelSelector->currentIndex();
    int i = position - 1;
    bool model = i >= 0 && static_cast<std::size_t>(i) < Cat.Models.size();
    int maximum =
        model ? static_cast<int>(Cat.Models[i].SoftIDs.size()) : static_cast<int>(Cat.Content.size());
    ProgressModel->setRange(0, std::max(maximum, 1));
    ProgressModel->setValue(0);
    // Repainting the bar once per record would cost more than the rebuild: move it in
    // about a hundred visible steps.
    int done = 0, shown = 0;
    int stride = std::max(1, maximum / 100);
    Cat.RebuildTree(position, [&] {
        if (++done - shown >= stride) {
            shown = done;
            ProgressModel->setValue(done);
        }
    });
    mirrorTree();
    ShowFoundCount(Cat.TotalCount);
    ProgressModel->hide();
    ModelSelector->show();
}

int TForm1::loadTreeIcon(const std::filesystem::path& file) {
    QImageReader reader(QString::fromStdString(file.string()));
    reader.setDecideFormatFromContent(true);
    QImage image = reader.read();
    if (image.isNull())
        return -1;
    TreeImages << QIcon(
        QPixmap::fromImage(image.scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    return static_cast<int>(TreeImages.size()) - 1;
}

int TForm1::ImportFromSpreadsheet(const std::vector<std::string>& parameters, ImportProgress& progress) {
    std::unique_ptr<WaitCursor> cursor;
    ImportHost host;
    host.progress = &progress;
    host.message = [](const std::string& title, const std::string& text) { MessageBox(title, text); };
    host.busy = [&cursor](bool on) {
        if (on && !cursor)
            cursor = std::make_unique<WaitCursor>();
        else if (!on)
            cursor.reset();
    };
    return vexa::ImportFromSpreadsheet(parameters, host);
}

void TForm1::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace vexa
