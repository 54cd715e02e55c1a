#pragma once
// The main window. This first version is the plain frame: a borderless 1024 x 768 window
// with the count label above the section tree. It owns the catalogue.
#include "catalogue.h"
#include "import_run.h"

#include <QIcon>
#include <QList>
#include <QWidget>

class QComboBox;
class QLabel;
class QProgressBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace vexa {

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    Catalogue& catalogue() { return Cat; }

    // Writes the count of n items with its Russian plural into the count label.
    void ShowFoundCount(std::int32_t n);
    // Makes the tree widget show the catalogue's section tree.
    void mirrorTree();
    // Fills the model selector with the catalogue's model lines (prompt line first).
    void mirrorModelSelector();
    // Rebuilds the section tree for the model the model selector stands on (the prompt
    // line means all models) and shows the new count.
    void ApplyModelFilter();
    // Hides the result area. The area itself arrives with the full window; for now this
    // only keeps the calling order of the filter.
    void HideResultArea();
    // Runs the import for the program's parameters; the process exit code.
    int ImportFromSpreadsheet(const std::vector<std::string>& parameters, ImportProgress& progress);

    // Loads a tree icon and appends it to the tree image list: its index, or -1.
    int loadTreeIcon(const std::filesystem::path& file);
    const QList<QIcon>& treeImages() const { return TreeImages; }

    QTreeWidget* ContentTree = nullptr;
    QLabel* LabelRecords = nullptr;
    QComboBox* ModelSelector = nullptr;
    // The filter's progress bar, laid over the model selector while a rebuild runs.
    QProgressBar* ProgressModel = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    Catalogue Cat;
    QList<QIcon> TreeImages;
};

} // namespace vexa
