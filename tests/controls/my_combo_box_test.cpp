#include "my_combo_box.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QTest>

using namespace vexa;

namespace {

struct ComboFixture : ::testing::Test {
    QWidget window;
    TMyComboBox* box = new TMyComboBox(&window);
    QLineEdit* other = new QLineEdit(&window); // somewhere else to put the focus
    void SetUp() override {
        window.resize(400, 400);
        box->setGeometry(20, 30, 150, 25);
        other->setGeometry(250, 30, 100, 25);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        other->setFocus();
    }
    void fill(int n) {
        for (int i = 0; i < n; ++i)
            box->addItem(QString("Entry %1").arg(i));
    }
};

} // namespace

TEST_F(ComboFixture, OpensOnFocusToFitItsEntriesAndClosesOnLeaving) {
    fill(3);
    box->setFocus();
    EXPECT_EQ(box->height(), 16 * 4 + 25);
    other->setFocus();
    EXPECT_EQ(box->height(), 25);
    box->clear();
    fill(20); // 16 * 21 + 25 = 361 is capped
    box->setFocus();
    EXPECT_EQ(box->height(), 300);
    QTest::qWait(10);
    EXPECT_FALSE(box->scrollBar()->isHidden()); // 20 entries do not fit
}

TEST_F(ComboFixture, CompanionsFollowTheBox) {
    fill(20);
    EXPECT_EQ(box->circleButton()->parentWidget(), &window);
    EXPECT_EQ(box->circleButton()->pos(), QPoint(20 + 150, 30 + 2));
    EXPECT_FALSE(box->circleButton()->isHidden());
    // Closed, the bar has no height (25 - 27 would be negative): no bar is visible.
    EXPECT_EQ(box->scrollBar()->height(), 0);
    box->setFocus();
    EXPECT_EQ(box->scrollBar()->geometry(), QRect(20 + 150 - 16 - 2, 30 + 25, 16, 300 - 27));
    box->move(40, 50);
    EXPECT_EQ(box->circleButton()->pos(), QPoint(40 + 150, 50 + 2));
    box->hide();
    EXPECT_TRUE(box->circleButton()->isHidden());
    EXPECT_TRUE(box->scrollBar()->isHidden());
}

TEST_F(ComboFixture, CircleButtonTogglesTheList) {
    fill(3);
    box->ToggleList(); // not focused: takes the focus, which opens it
    EXPECT_TRUE(box->isOpen());
    box->ToggleList();
    EXPECT_FALSE(box->isOpen());
    box->ToggleList();
    EXPECT_TRUE(box->isOpen());
    QTest::mouseClick(box->circleButton(), Qt::LeftButton, {}, QPoint(9, 9));
    EXPECT_FALSE(box->isOpen());
    TMyComboBox orphan;
    orphan.ToggleList(); // no parent: nothing
    EXPECT_FALSE(orphan.isOpen());
}

TEST_F(ComboFixture, ClickingAnEntryConfirmsItLikeEnter) {
    fill(5);
    std::vector<std::pair<int, int>> keys; // key, current entry when it came
    QObject::connect(box, &TMyComboBox::keyPressed, [&](int key, Qt::KeyboardModifiers) {
        keys.push_back({key, box->currentIndex()});
    });
    box->setFocus();
    QListWidget* list = box->listWidget();
    QRect entry = list->visualItemRect(list->item(2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, entry.center());
    QTest::qWait(10);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].first, Qt::Key_Return);
    EXPECT_EQ(keys[0].second, 2);
    EXPECT_EQ(box->text(), "Entry 2");
}

TEST_F(ComboFixture, ClosedBoxKeepsItsConfirmedEntry) {
    fill(8);
    box->ConfirmedIndex = 2;
    box->setCurrentIndex(5);
    EXPECT_EQ(box->currentIndex(), 2);
    EXPECT_EQ(box->text(), "Entry 2");
    // Choosing no entry at all is undone the same way, and the field shows the entry.
    box->setCurrentIndex(-1);
    EXPECT_EQ(box->currentIndex(), 2);
    EXPECT_EQ(box->text(), "Entry 2");
    box->ConfirmedIndex = -1;
    box->setCurrentIndex(5);
    EXPECT_EQ(box->currentIndex(), 5);
    box->setCurrentIndex(-1);
    EXPECT_EQ(box->currentIndex(), -1);
    EXPECT_EQ(box->text(), "");
    box->setCurrentIndex(5);
    // An open box lets the selection move.
    box->ConfirmedIndex = 2;
    box->setFocus();
    box->setCurrentIndex(6);
    EXPECT_EQ(box->currentIndex(), 6);
}

TEST_F(ComboFixture, KeysMoveTheSelectionAndReachTheOwner) {
    fill(4);
    std::vector<int> keys;
    QObject::connect(box, &TMyComboBox::keyPressed,
                     [&](int key, Qt::KeyboardModifiers) { keys.push_back(key); });
    box->setFocus();
    box->setCurrentIndex(0);
    QTest::keyClick(box->editField(), Qt::Key_Down);
    QTest::keyClick(box->editField(), Qt::Key_Down);
    EXPECT_EQ(box->currentIndex(), 2);
    QTest::keyClick(box->editField(), Qt::Key_Return);
    EXPECT_EQ(keys, (std::vector<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Return}));
    // Typing selects the first entry that begins with the text.
    box->editField()->clear();
    QTest::keyClicks(box->editField(), "entry 3");
    EXPECT_EQ(box->editField()->text(), "entry 3");
    EXPECT_EQ(box->currentIndex(), 3);
}
