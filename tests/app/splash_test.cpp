#include "splash.h"

#include <gtest/gtest.h>

using namespace vexa;

namespace {
bool lineAt(const QImage& surface, int x, QRgb colour) {
    return surface.pixel(x, 89) == colour || surface.pixel(x, 90) == colour;
}
} // namespace

TEST(Splash, IsTheSizeOfItsPicture) {
    TFormSplash splash;
    EXPECT_EQ(splash.size(), QSize(214, 100));
    EXPECT_EQ(splash.progress().BarLength, 104);
    EXPECT_EQ(splash.progress().Color, 237u);
}

TEST(Splash, ProgressLineLengths) {
    TFormSplash splash;
    TMyProgress& p = splash.progress();
    p.Max = 1000;
    p.Position = 500;
    EXPECT_EQ(p.lineLength(), 52); // 10 .. 62
    p.Position = 1000;
    EXPECT_EQ(p.lineLength(), 104); // 10 .. 114
    p.Max = 2000000000;
    p.Position = 2000000000;
    EXPECT_EQ(p.lineLength(), 104); // BarLength x Position is far beyond 32 bits
    p.Max = 0;
    EXPECT_EQ(p.lineLength(), 0);
    p.StepBy(5); // draws nothing, does not fail
}

TEST(Splash, StepsDrawOnTheSurfaceAndANewColourRedrawsTheWholeLine) {
    TFormSplash splash;
    TMyProgress& p = splash.progress();
    QRgb red = qRgb(237, 0, 0), green = qRgb(0, 255, 0);
    QRgb before = splash.surface().pixel(100, 90);
    p.Max = 104;
    p.StepBy(52);
    EXPECT_TRUE(lineAt(splash.surface(), 11, red));
    EXPECT_TRUE(lineAt(splash.surface(), 60, red));
    EXPECT_EQ(splash.surface().pixel(100, 90), before);

    p.SetColor(colorRef(0, 255, 0));
    EXPECT_TRUE(lineAt(splash.surface(), 11, red)); // SetColor alone draws nothing
    p.Step();
    EXPECT_TRUE(lineAt(splash.surface(), 11, green));
    EXPECT_TRUE(lineAt(splash.surface(), 61, green));

    // A shorter line after a reset paints over the start only; the rest stays.
    p.Position = 0;
    p.SetColor(colorRef(255, 0, 0));
    p.StepBy(10);
    EXPECT_TRUE(lineAt(splash.surface(), 12, qRgb(255, 0, 0)));
    EXPECT_TRUE(lineAt(splash.surface(), 50, green));
}
