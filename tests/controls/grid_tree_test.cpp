#include "my_db_ctrl_grid.h"
#include "my_tree_view.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QTest>

using namespace vexa;

namespace {

// A result grid of 20 records in panels of 148 pixels, 4 to a page (height 600).
struct GridFixture : ::testing::Test {
    QWidget panel;
    TMyDBCtrlGrid* grid = new TMyDBCtrlGrid(&panel);
    std::vector<int> painted;
    void SetUp() override {
        panel.resize(700, 640);
        grid->setPanelHeight(148);
        grid->setMaximumHeight(600);
        grid->setGeometry(10, 0, 500, 600);
        grid->setPaintPanel([this](QPainter& p, const QRect& r, int record, bool current) {
            painted.push_back(record);
            p.fillRect(r.adjusted(2, 2, -2, -2), current ? Qt::yellow : Qt::gray);
        });
        grid->setRecordCount(20);
        panel.show();
        grid->setFocus();
        grid->scrollBar()->SyncWithWindow();
    }
    void key(Qt::Key k) { QTest::keyClick(grid, k); }
};

} // namespace

TEST_F(GridFixture, BarMirrorsTheRecords) {
    TMyScroll* bar = grid->scrollBar();
    EXPECT_EQ(bar->Min(), 0);
    EXPECT_EQ(bar->Max(), 19);
    EXPECT_EQ(bar->Position(), 0);
    EXPECT_FALSE(bar->isHidden());
    EXPECT_EQ(bar->parentWidget(), &panel);
    EXPECT_EQ(bar->x(), 10 + 500 - 14 - 2);
    EXPECT_EQ(bar->height(), 640); // as high as the grid's parent
    grid->setRecordCount(1);       // one record: nothing to scroll
    bar->SyncWithWindow();
    EXPECT_TRUE(bar->isHidden());
}

// Fewer records than panels, after a longer result: the keys still walk the records,
// and Down stops on the last one.
TEST_F(GridFixture, KeysWalkAShortResultAfterALongOne) {
    key(Qt::Key_End);
    grid->setRecordCount(3);
    grid->scrollBar()->SyncWithWindow();
    EXPECT_EQ(grid->scrollBar()->Max(), 2);
    EXPECT_EQ(grid->scrollBar()->Position(), 0);
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    EXPECT_EQ(grid->RecNo(), 2);
    EXPECT_EQ(grid->scrollBar()->Position(), 2);
    key(Qt::Key_Down);
    EXPECT_EQ(grid->RecNo(), 2);
    key(Qt::Key_Up);
    EXPECT_EQ(grid->RecNo(), 1);
    EXPECT_EQ(grid->scrollBar()->Position(), 1);
}

TEST_F(GridFixture, PageKeysMoveByTheHeightConstraint) {
    EXPECT_EQ(grid->panelsPerPage(), 4);
    key(Qt::Key_PageDown);
    EXPECT_EQ(grid->scrollBar()->Position(), 4); // 600 / 148
    EXPECT_EQ(grid->RecNo(), 4);
    EXPECT_EQ(grid->topRecord(), 1); // the current panel is in view
    key(Qt::Key_PageDown);
    key(Qt::Key_PageUp);
    EXPECT_EQ(grid->scrollBar()->Position(), 4);
    EXPECT_EQ(grid->RecNo(), 4);
    key(Qt::Key_Up);
    EXPECT_EQ(grid->scrollBar()->Position(), 3);
    EXPECT_EQ(grid->RecNo(), 3);
    key(Qt::Key_Left); // unchanged
    EXPECT_EQ(grid->RecNo(), 3);
    key(Qt::Key_Home);
    EXPECT_EQ(grid->scrollBar()->Position(), 0);
    EXPECT_EQ(grid->RecNo(), 0);
    key(Qt::Key_Up); // clamped at the start
    EXPECT_EQ(grid->scrollBar()->Position(), 0);
    EXPECT_EQ(grid->RecNo(), 0);
}

TEST_F(GridFixture, DownOnTheLastPositionChangesNothing) {
    key(Qt::Key_End);
    EXPECT_EQ(grid->scrollBar()->Position(), 19);
    EXPECT_EQ(grid->RecNo(), 19);
    EXPECT_EQ(grid->topRecord(), 16);
    int changes = 0;
    QObject::connect(grid, &TMyDBCtrlGrid::recordChanged, [&](int) { ++changes; });
    key(Qt::Key_Down);
    EXPECT_EQ(grid->scrollBar()->Position(), 19);
    EXPECT_EQ(grid->RecNo(), 19);
    EXPECT_EQ(changes, 0);
}

TEST_F(GridFixture, BarAndWheelMoveTheRecords) {
    TMyScroll* bar = grid->scrollBar();
    bar->PartMouseDown(TMyScroll::Part::DownArrow, Qt::LeftButton, Qt::NoModifier, 0, 0);
    bar->PartMouseUp(TMyScroll::Part::DownArrow, Qt::LeftButton);
    EXPECT_EQ(grid->RecNo(), 1);
    bar->PartMouseDown(TMyScroll::Part::Track, Qt::LeftButton, Qt::NoModifier, 0, bar->trackRect().height());
    EXPECT_EQ(grid->RecNo(), 19);
    QPoint at(50, 50);
    QWheelEvent up(at, grid->mapToGlobal(at), {}, QPoint(0, 240), Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid, &up);
    EXPECT_EQ(grid->RecNo(), 17);
    EXPECT_EQ(bar->Position(), 17);
}

TEST_F(GridFixture, PanelsArePaintedAndClicked) {
    key(Qt::Key_PageDown); // records 1 to 4 on screen
    painted.clear();
    grid->grab();
    EXPECT_EQ(painted, (std::vector<int>{1, 2, 3, 4}));
    int clicked = -1;
    QObject::connect(grid, &TMyDBCtrlGrid::panelClicked, [&](int r) { clicked = r; });
    QTest::mouseClick(grid, Qt::LeftButton, {}, QPoint(100, 148 * 2 + 10));
    EXPECT_EQ(clicked, 3);
    EXPECT_EQ(grid->RecNo(), 3);
}

// The pictures section: five columns of 148 x 108 panels in four rows. Panels stand
// in rows, the keys move across and down, and the grid scrolls by records.
TEST(TMyDBCtrlGrid, PanelsInRowsAndColumns) {
    QWidget panel;
    panel.resize(800, 500);
    auto* grid = new TMyDBCtrlGrid(&panel);
    grid->setGeometry(0, 0, 760, 440);
    grid->setPanelHeight(108);
    grid->setPanelWidth(148);
    grid->setColCount(5);
    grid->setRowCount(4);
    std::vector<std::pair<int, QRect>> painted;
    grid->setPaintPanel([&](QPainter&, const QRect& r, int record, bool) { painted.push_back({record, r}); });
    grid->setRecordCount(33);
    panel.show();
    grid->setFocus();
    grid->grab();
    ASSERT_EQ(painted.size(), 20u);
    EXPECT_EQ(painted[7].first, 7);
    EXPECT_EQ(painted[7].second, QRect(2 * 148, 108, 148, 108));
    QTest::mouseClick(grid, Qt::LeftButton, {}, QPoint(3 * 148 + 5, 2 * 108 + 5));
    EXPECT_EQ(grid->RecNo(), 13);
    QTest::mouseClick(grid, Qt::LeftButton, {}, QPoint(5 * 148 + 5, 5)); // beside the last column
    EXPECT_EQ(grid->RecNo(), 13);
    QTest::keyClick(grid, Qt::Key_Right);
    EXPECT_EQ(grid->RecNo(), 14);
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(grid->RecNo(), 19);
    QTest::keyClick(grid, Qt::Key_Down); // below the last row: one record further in view
    EXPECT_EQ(grid->RecNo(), 24);
    EXPECT_EQ(grid->topRecord(), 5);
    QTest::keyClick(grid, Qt::Key_Left);
    QTest::keyClick(grid, Qt::Key_Up);
    EXPECT_EQ(grid->RecNo(), 18);
    QTest::keyClick(grid, Qt::Key_End);
    EXPECT_EQ(grid->RecNo(), 32);
    EXPECT_EQ(grid->topRecord(), 13);
    painted.clear();
    grid->grab();
    ASSERT_EQ(painted.size(), 20u);
    EXPECT_EQ(painted.back().first, 32);
}

TEST(TMyTreeView, BarFollowsTheTreesVisibilityAndScrolling) {
    QWidget parent;
    parent.resize(300, 300);
    auto* tree = new TMyTreeView(&parent);
    tree->setGeometry(0, 0, 200, 100);
    auto* top = new QTreeWidgetItem(tree, {"Games"});
    for (int i = 0; i < 2; ++i)
        new QTreeWidgetItem(top, {QString("Genre %1").arg(i)});
    parent.show();
    QTest::qWait(10);
    TMyScroll* bar = tree->scrollBar();
    EXPECT_EQ(bar->parentWidget(), &parent);
    EXPECT_TRUE(bar->isHidden()); // nothing to scroll
    for (int i = 0; i < 40; ++i)
        new QTreeWidgetItem(top, {QString("More %1").arg(i)});
    tree->expandItem(top);
    QTest::qWait(10);
    EXPECT_FALSE(bar->isHidden());
    EXPECT_GT(bar->Max(), 0);
    tree->hide();
    EXPECT_TRUE(bar->isHidden());
    tree->show();
    QTest::qWait(10);
    EXPECT_FALSE(bar->isHidden());
    tree->collapseItem(top); // one entry left
    QTest::qWait(10);
    EXPECT_TRUE(bar->isHidden());
    EXPECT_EQ(tree->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(tree->palette().color(QPalette::Base), parent.palette().color(QPalette::Window));
    tree->setBackground(QColor(1, 2, 3));
    EXPECT_EQ(tree->palette().color(QPalette::Base), QColor(1, 2, 3));
    EXPECT_FALSE(tree->rootIsDecorated());
}
