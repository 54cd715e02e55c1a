#include "my_scroll.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>

using namespace vexa;
using Part = TMyScroll::Part;

namespace {

// A target with a Windows-style scroll state that counts the requests it gets. A target
// that is "stuck" ignores them.
struct FakeTarget : ScrollTarget {
    int min = 0, max = 99, page = 10, pos = 30, step = 1;
    bool stuck = false;
    int ups = 0, downs = 0, asked = 0;
    bool scrollState(int& mi, int& ma, int& pa, int& po) override {
        ++asked;
        mi = min;
        ma = max;
        pa = page;
        po = pos;
        return true;
    }
    void lineUp() override {
        ++ups;
        if (!stuck)
            pos = std::max(min, pos - step);
    }
    void lineDown() override {
        ++downs;
        if (!stuck)
            pos = std::min(max - page + 1, pos + step);
    }
};

// A bar with a track of 100 pixels (14 + 100 + 14) and a fake target it keeps.
struct BarFixture : ::testing::Test {
    QWidget parent;
    TMyScroll* bar = new TMyScroll(&parent);
    FakeTarget* target = new FakeTarget;
    void SetUp() override {
        bar->resize(14, 128);
        bar->setTarget(std::unique_ptr<ScrollTarget>(target));
    }
};

} // namespace

TEST(TMyScroll, SetParamsClampsIntoTheRange) {
    TMyScroll bar;
    bar.SetParams(5, 10, 3);
    EXPECT_EQ(bar.Min(), 10);
    EXPECT_EQ(bar.Max(), 10);
    EXPECT_EQ(bar.Position(), 10);
    bar.SetParams(-7, 0, 20);
    EXPECT_EQ(bar.Position(), 0);
    bar.SetParams(70, 0, 20);
    EXPECT_EQ(bar.Position(), 20);
}

TEST_F(BarFixture, SyncMirrorsTheTargetAndShowsTheBar) {
    bar->SyncWithWindow();
    EXPECT_EQ(bar->Min(), 0);
    EXPECT_EQ(bar->Max(), 90);
    EXPECT_EQ(bar->Position(), 30);
    EXPECT_FALSE(bar->isHidden());
    target->max = 0; // an empty range hides the bar
    bar->SyncWithWindow();
    EXPECT_TRUE(bar->isHidden());
    target->max = 9; // everything fits on one page: nothing to scroll
    target->pos = 0;
    bar->SyncWithWindow();
    EXPECT_TRUE(bar->isHidden());
}

TEST_F(BarFixture, TrackClickMovesToThatPlaceAndSendsLines) {
    bar->SyncWithWindow();
    bar->PartMouseDown(Part::Track, Qt::LeftButton, Qt::NoModifier, 0, 50);
    EXPECT_EQ(bar->Position(), 45);
    EXPECT_EQ(target->downs, 15);
    EXPECT_EQ(target->ups, 0);
    bar->PartMouseDown(Part::Track, Qt::LeftButton, Qt::NoModifier, 0, 0);
    EXPECT_EQ(bar->Position(), 0);
    EXPECT_EQ(target->ups, 45);
}

TEST_F(BarFixture, ThumbFollowsThePosition) {
    bar->SyncWithWindow();
    bar->SetParams(45, 0, 90);
    EXPECT_EQ(bar->thumbRect().top(), 14 + 36); // round(0.5 * 100 - 14.5) below the arrow
    bar->SetParams(0, 0, 90);
    EXPECT_EQ(bar->thumbRect().top(), 14); // never above the track
    bar->SetParams(90, 0, 90);
    EXPECT_EQ(bar->thumbRect().top(), 128 - 14 - 29); // never over the down arrow
    int top = bar->thumbRect().top();
    bar->SetParams(3, 3, 3); // Min = Max: the thumb stays
    EXPECT_EQ(bar->thumbRect().top(), top);
}

TEST_F(BarFixture, ArrowAtTheEndSendsNothingButKeepsRepeating) {
    target->pos = 0;
    bar->SyncWithWindow();
    bar->PartMouseDown(Part::UpArrow, Qt::LeftButton, Qt::NoModifier, 0, 0);
    EXPECT_EQ(bar->Position(), 0);
    EXPECT_EQ(target->ups, 0);
    EXPECT_EQ(bar->HeldPart(), Part::UpArrow);
    EXPECT_TRUE(bar->repeating());
    QTest::qWait(600);
    EXPECT_TRUE(bar->repeating());
    EXPECT_EQ(bar->repeatInterval(), 1);
    bar->PartMouseUp(Part::UpArrow, Qt::LeftButton);
    QTest::qWait(20);
    EXPECT_FALSE(bar->repeating());
    EXPECT_EQ(bar->repeatInterval(), 500);
    EXPECT_EQ(target->ups, 0);
}

TEST_F(BarFixture, HeldArrowStepsOnceThenRepeatsAfterHalfASecond) {
    bar->SyncWithWindow();
    bar->PartMouseDown(Part::DownArrow, Qt::LeftButton, Qt::NoModifier, 0, 0);
    EXPECT_EQ(bar->Position(), 31);
    EXPECT_EQ(target->downs, 1);
    QTest::qWait(100);
    EXPECT_EQ(target->downs, 1); // still waiting for the first repeat
    QTest::qWait(700);
    EXPECT_GT(target->downs, 1);
    bar->PartMouseUp(Part::DownArrow, Qt::LeftButton);
    QTest::qWait(20);
    int downs = target->downs;
    QTest::qWait(50);
    EXPECT_EQ(target->downs, downs);
    EXPECT_LE(bar->Position(), 90);
}

TEST_F(BarFixture, RightButtonDoesNothing) {
    bar->SyncWithWindow();
    for (Part p : {Part::Track, Part::UpArrow, Part::DownArrow, Part::Thumb})
        bar->PartMouseDown(p, Qt::RightButton, Qt::NoModifier, 0, 90);
    EXPECT_EQ(bar->Position(), 30);
    EXPECT_EQ(target->downs + target->ups, 0);
    EXPECT_FALSE(bar->repeating());
}

TEST_F(BarFixture, MouseOnThePartsReachesThem) {
    parent.resize(50, 200);
    parent.show();
    bar->SyncWithWindow();
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(5, 128 - 5)); // down arrow
    EXPECT_EQ(bar->Position(), 31);
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(5, 14 + 100 - 1)); // low on the track
    EXPECT_EQ(bar->Position(), 89);
    EXPECT_EQ(target->pos, 89);
}

TEST_F(BarFixture, DraggingTheThumbFollowsTheMouse) {
    parent.resize(50, 200);
    parent.show();
    bar->SyncWithWindow(); // position 30 of 0..90
    QPoint grip = bar->thumbRect().center();
    QTest::mousePress(bar, Qt::LeftButton, {}, grip);
    // Moving over the thumb while it is held drags it 20 pixels down.
    QMouseEvent move(QEvent::MouseMove, QPointF(grip + QPoint(0, 20)),
                     bar->mapToGlobal(QPointF(grip + QPoint(0, 20))), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(bar, &move);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, grip + QPoint(0, 20));
    EXPECT_GT(bar->Position(), 30);
    EXPECT_EQ(target->pos, bar->Position());
    // Without a held thumb, moving does nothing.
    int pos = bar->Position();
    QApplication::sendEvent(bar, &move);
    EXPECT_EQ(bar->Position(), pos);
}

TEST(TRichScroll, MovesTheTargetUntilItReachesTheAim) {
    QWidget parent;
    auto* bar = new TRichScroll(&parent);
    bar->resize(16, 128);
    auto* target = new FakeTarget;
    target->max = 999;
    target->page = 100;
    target->pos = 0;
    target->step = 20; // pixels per line
    bar->setTarget(std::unique_ptr<ScrollTarget>(target));
    bar->SyncWithWindow();
    ASSERT_EQ(bar->Max(), 900);
    bar->PartMouseDown(TMyScroll::Part::Track, Qt::LeftButton, Qt::NoModifier, 0, 50);
    EXPECT_EQ(target->pos, 460); // the first line at or past 450
    EXPECT_EQ(bar->Position(), 460);
    bar->PartMouseDown(TMyScroll::Part::Track, Qt::LeftButton, Qt::NoModifier, 0, 10);
    EXPECT_EQ(target->pos, 80); // the first line below 90
    EXPECT_EQ(bar->Position(), 80);
}

TEST(TRichScroll, StopsWhenTheTargetDoesNotMove) {
    QWidget parent;
    auto* bar = new TRichScroll(&parent);
    bar->resize(16, 128);
    auto* target = new FakeTarget;
    bar->setTarget(std::unique_ptr<ScrollTarget>(target));
    bar->SyncWithWindow();
    target->stuck = true;
    QElapsedTimer clock;
    clock.start();
    bar->PartMouseDown(TMyScroll::Part::Track, Qt::LeftButton, Qt::NoModifier, 0, 90);
    EXPECT_EQ(target->downs, 1);
    EXPECT_EQ(bar->Position(), 30); // where the target really is
    bar->PartMouseDown(TMyScroll::Part::UpArrow, Qt::LeftButton, Qt::NoModifier, 0, 0);
    EXPECT_EQ(target->ups, 1);
    bar->PartMouseUp(TMyScroll::Part::UpArrow, Qt::LeftButton);
    EXPECT_LT(clock.elapsed(), 5000);
}

// At the end of its range an arrow is clamped back to where the text is: the text must
// not move at all, least of all the other way.
TEST(TRichScroll, ArrowAtItsEndLeavesTheTextWhereItIs) {
    QWidget parent;
    auto* bar = new TRichScroll(&parent);
    bar->resize(16, 128);
    auto* target = new FakeTarget;
    target->pos = 90; // the last position of 0..99 with a page of 10
    bar->setTarget(std::unique_ptr<ScrollTarget>(target));
    bar->SyncWithWindow();
    ASSERT_EQ(bar->Position(), bar->Max());
    bar->PartMouseDown(TMyScroll::Part::DownArrow, Qt::LeftButton, Qt::NoModifier, 0, 0);
    bar->PartMouseUp(TMyScroll::Part::DownArrow, Qt::LeftButton);
    EXPECT_EQ(target->ups + target->downs, 0);
    EXPECT_EQ(target->pos, 90);
    EXPECT_EQ(bar->Position(), 90);
    target->pos = 0;
    bar->SyncWithWindow();
    bar->PartMouseDown(TMyScroll::Part::UpArrow, Qt::LeftButton, Qt::NoModifier, 0, 0);
    bar->PartMouseUp(TMyScroll::Part::UpArrow, Qt::LeftButton);
    EXPECT_EQ(target->ups + target->downs, 0);
    EXPECT_EQ(bar->Position(), 0);
}

// The whole range of the position type: no arithmetic on the way may overflow.
TEST(TMyScroll, ExtremeRangesStayInRange) {
    TMyScroll bar;
    bar.resize(14, 128);
    bar.SetParams(INT32_MAX, INT32_MIN, INT32_MAX);
    EXPECT_EQ(bar.thumbRect().top(), 128 - 14 - 29);
    bar.PartMouseDown(TMyScroll::Part::Track, Qt::LeftButton, Qt::NoModifier, 0, 0);
    EXPECT_EQ(bar.Position(), INT32_MIN);
    EXPECT_EQ(bar.thumbRect().top(), 14);
    bar.PartMouseDown(TMyScroll::Part::Track, Qt::LeftButton, Qt::NoModifier, 0, 200); // below the track
    EXPECT_EQ(bar.Position(), INT32_MAX);
    bar.PartMouseDown(TMyScroll::Part::DownArrow, Qt::LeftButton, Qt::NoModifier, 0, 0);
    EXPECT_EQ(bar.Position(), INT32_MAX);
    bar.PartMouseUp(TMyScroll::Part::DownArrow, Qt::LeftButton);
}
