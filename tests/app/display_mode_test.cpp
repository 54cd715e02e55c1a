#include "display_mode.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

using namespace vexa;

namespace {

// A display that accepts only some depths at 1024 x 768 and records what it was asked.
struct FakeDisplay : DisplayBackend {
    int width = 1280, height = 1024;
    std::set<int> acceptedDepths;
    std::vector<std::string>* log;
    explicit FakeDisplay(std::vector<std::string>* l, std::set<int> depths, int w = 1280, int h = 1024)
        : width(w), height(h), acceptedDepths(std::move(depths)), log(l) {}
    bool currentSize(int& w, int& h) override {
        w = width;
        h = height;
        return true;
    }
    bool change(std::uint16_t w, std::uint16_t h, std::uint16_t bpp) override {
        log->push_back("change " + std::to_string(w) + "x" + std::to_string(h) + "x" + std::to_string(bpp));
        if (!acceptedDepths.count(bpp))
            return false;
        width = w;
        height = h;
        return true;
    }
    void restore() override {
        log->push_back("restore");
        width = 1280;
        height = 1024;
    }
};

void startUp(DisplayMode& d) {
    if (!d.SetDisplayMode(1024, 768, 24))
        d.SetDisplayMode(1024, 768, 16);
}

} // namespace

TEST(DisplayModeDecisions, ScreenAlreadyAtSizeIsLeftAlone) {
    std::vector<std::string> log;
    DisplayMode d(std::make_unique<FakeDisplay>(&log, std::set<int>{24}, 1024, 768));
    startUp(d);
    EXPECT_FALSE(d.remembered());
    d.AppDeactivate();
    d.AppActivate();
    EXPECT_EQ(log, std::vector<std::string>{"restore"});
}

TEST(DisplayModeDecisions, SixteenBitsWhenTwentyFourAreRefused) {
    std::vector<std::string> log;
    DisplayMode d(std::make_unique<FakeDisplay>(&log, std::set<int>{16}));
    startUp(d);
    ASSERT_TRUE(d.remembered());
    EXPECT_EQ(d.remembered()->bitsPerPixel, 16);
    d.AppDeactivate();
    d.AppActivate();
    EXPECT_EQ(log, (std::vector<std::string>{"change 1024x768x24", "change 1024x768x16", "restore",
                                             "change 1024x768x16"}));
}

TEST(DisplayModeDecisions, RefusedEverywhereRunsInTheCurrentMode) {
    std::vector<std::string> log;
    DisplayMode d(std::make_unique<FakeDisplay>(&log, std::set<int>{}));
    startUp(d);
    EXPECT_FALSE(d.remembered());
    d.AppActivate();
    EXPECT_EQ(log, (std::vector<std::string>{"change 1024x768x24", "change 1024x768x16"}));
}
