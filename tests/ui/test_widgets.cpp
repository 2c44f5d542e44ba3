// The widgets of the window framework on real Qt windows: the drop shadow and
// colour blending, the status window, the panel box, the animator, the
// balloon tip, and bringing a window to the front.
#include "window_test_support.h"

#include "boundary/status_display.h"
#include "ui/balloon_tool_tip.h"
#include "ui/status_window.h"
#include "ui/window_utils.h"
#include "ui/zorv_animator.h"
#include "ui/zorv_image_list.h"
#include "ui/zorv_panel_box.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include <stdexcept>

namespace {

using priv::test::SaveScreenshot;

const QColor kStatusColor(243, 249, 254);

int CountStatusWindows()
{
    int count = 0;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (qobject_cast<priv::Tfrm_Status*>(window))
            ++count;
    return count;
}

// --- Colour blending and the drop shadow ------------------------------------

TEST(BlendColorTest, BlendsPerChannelWithRounding)
{
    struct Case {
        QColor a, b;
        int alpha;
        QColor expected;
    };
    const Case cases[] = {
        {Qt::black, kStatusColor, 128, {121, 124, 127}},
        {Qt::black, kStatusColor, 107, {141, 145, 147}},
        {Qt::black, kStatusColor, 23, {221, 227, 231}},
        {QColor(255, 0, 0), QColor(0, 0, 255), 128, {128, 0, 127}},
        {QColor(10, 20, 30), QColor(200, 100, 50), 0, {200, 100, 50}},
        {QColor(10, 20, 30), QColor(200, 100, 50), 255, {10, 20, 30}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(priv::BlendColor(c.a, c.b, c.alpha), c.expected)
            << c.alpha << " " << c.a.name().toStdString();
}

TEST(DrawDropShadowTest, ShadesTheRingsOutsideTheRightAndBottomEdges)
{
    // The status window's case: its panel (0, 0, 275 x 69) on a 278 x 73 window.
    QImage canvas(278, 73, QImage::Format_RGB32);
    canvas.fill(kStatusColor);
    priv::DrawDropShadow(canvas, QRect(0, 0, 275, 69), 6, Qt::black);

    const QColor ring1(121, 124, 127), ring2(141, 145, 147), ring3(161, 165, 168), ring4(181, 186, 189);
    struct Probe {
        int x, y;
        QColor expected;
    };
    const Probe probes[] = {
        {100, 69, ring1},       // bottom row of ring 1
        {275, 30, ring1},       // right column of ring 1
        {11, 68, ring1},        // ring 1 fades in 2w - 1 pixels from the left end
        {12, 68, ring1},        // and its step
        {11, 69, ring2},        // ring 2's step at the bottom start
        {275, 69, ring2},       // corner of ring 2
        {276, 69, ring2},       // right column of ring 2
        {276, 70, ring3},       // corner of ring 3
        {277, 10, ring3},       // ring 3's right column starts at T + 2w - 3 + 1
        {100, 72, ring4},       // bottom row of ring 4
        {277, 5, kStatusColor}, // above the fade-in: untouched
        {5, 70, kStatusColor},  // left of the fade-in: untouched
        {50, 40, kStatusColor}, // inside the rectangle: untouched
    };
    for (const Probe& p : probes)
        EXPECT_EQ(canvas.pixelColor(p.x, p.y), p.expected) << "at " << p.x << "," << p.y;
}

TEST(DrawDropShadowTest, WidthZeroOrLessDrawsNothingAndTheCanvasEdgeClips)
{
    QImage canvas(30, 20, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    const QImage before = canvas.copy();
    priv::DrawDropShadow(canvas, QRect(2, 2, 20, 10), 0, Qt::black);
    priv::DrawDropShadow(canvas, QRect(2, 2, 20, 10), -3, Qt::black);
    EXPECT_EQ(canvas, before);

    // Rings that reach past the canvas are cut off, the rest still drawn.
    priv::DrawDropShadow(canvas, QRect(10, 5, 20, 15), 4, Qt::black);
    EXPECT_EQ(canvas.pixelColor(29, 19), QColor(127, 127, 127)); // corner of ring 1
    EXPECT_EQ(canvas.pixelColor(29, 12), QColor(127, 127, 127)); // fade-in of ring 1
    EXPECT_EQ(canvas.pixelColor(29, 11), QColor(159, 159, 159)); // fade-in of ring 2, alpha 96
    EXPECT_EQ(canvas.pixelColor(29, 6), QColor(Qt::white));
}

// --- Status window -----------------------------------------------------------

class StatusWindowTest : public ::testing::Test {
protected:
    void TearDown() override { priv::HideStatus(); }
};

TEST_F(StatusWindowTest, HideStatusWithoutAWindowDoesNothing)
{
    ASSERT_EQ(priv::CurrentStatusWindow(), nullptr);
    priv::HideStatus();
    EXPECT_EQ(priv::CurrentStatusWindow(), nullptr);
    EXPECT_EQ(CountStatusWindows(), 0);
}

TEST_F(StatusWindowTest, TwoShowStatusCallsLeaveOneWindowWithTheSecondText)
{
    priv::ShowStatus("正在读取用户权限，请稍候 ...");
    QPointer<priv::Tfrm_Status> first = priv::CurrentStatusWindow();
    priv::ShowStatus("正在保存，请稍候 ...");
    ASSERT_TRUE(first);
    EXPECT_EQ(priv::CurrentStatusWindow(), first.data());
    EXPECT_EQ(CountStatusWindows(), 1);
    EXPECT_EQ(first->StatusText(), QStringLiteral("正在保存，请稍候 ..."));
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(first->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(first->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(first->size(), QSize(278, 73));
    const QPoint offset = first->geometry().center() - first->screen()->geometry().center();
    EXPECT_LE(offset.manhattanLength(), 2);

    priv::HideStatus();
    EXPECT_FALSE(first); // destroyed at once, not later
    EXPECT_EQ(priv::CurrentStatusWindow(), nullptr);
}

TEST_F(StatusWindowTest, ShowsTheMovingStripUnderTheText)
{
    priv::ShowStatus("正在读取用户权限，请稍候 ...");
    priv::Tfrm_Status* window = priv::CurrentStatusWindow();
    ASSERT_NE(window, nullptr);
    priv::TZorvAnimator* strip = window->ProgressStrip();
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->parentWidget()->objectName(), QStringLiteral("Panel1"));
    EXPECT_EQ(strip->geometry(), QRect(90, 48, 94, 7));
    EXPECT_TRUE(strip->isVisible());
    EXPECT_TRUE(strip->Animate());
    EXPECT_TRUE(strip->Transparent());
    EXPECT_EQ(strip->Delay(), 50);
    EXPECT_EQ(strip->DelayUntilRepeat(), 100);
    EXPECT_EQ(strip->ImageList()->Count(), 4);
    EXPECT_EQ(strip->ImageList()->FrameSize(), QSize(94, 7));

    auto* panel = window->findChild<priv::TZorvPanelBox*>(QStringLiteral("Panel1"));
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->geometry(), QRect(0, 0, 275, 69));
    EXPECT_EQ(panel->BorderColor(), QColor(161, 201, 224));
    strip->TimerTick();
    strip->TimerTick();
    EXPECT_TRUE(SaveScreenshot(window, QStringLiteral("status_window")));
}

TEST_F(StatusWindowTest, TheShadowIsDrawnOnceHoweverOftenTheWindowPaints)
{
    priv::ShowStatus("正在保存，请稍候 ...");
    priv::Tfrm_Status* window = priv::CurrentStatusWindow();
    ASSERT_NE(window, nullptr);
    window->repaint();
    window->hide();
    window->show();
    window->repaint();
    EXPECT_EQ(window->PaintCount(), 1);
    const QImage shown = window->grab().toImage();
    EXPECT_EQ(shown.pixelColor(275, 30), QColor(121, 124, 127));
    EXPECT_EQ(shown.pixelColor(276, 70), QColor(161, 165, 168));
    EXPECT_EQ(shown.pixelColor(277, 5), kStatusColor);
    // The panel covers the window under it with its frame.
    EXPECT_EQ(shown.pixelColor(0, 30), QColor(161, 201, 224));
}

TEST_F(StatusWindowTest, TheStoresReachItThroughTheStatusDisplay)
{
    priv::InstallStatusWindow();
    {
        priv::ScopedStatus status(true, "正在保存，请稍候 ...");
        ASSERT_NE(priv::CurrentStatusWindow(), nullptr);
        EXPECT_EQ(priv::CurrentStatusWindow()->StatusText(), QStringLiteral("正在保存，请稍候 ..."));
    }
    EXPECT_EQ(priv::CurrentStatusWindow(), nullptr);
    priv::UninstallStatusWindow();
    priv::CurrentStatusDisplay().ShowStatus("静默");
    EXPECT_EQ(priv::CurrentStatusWindow(), nullptr);
}

// --- Panel box ----------------------------------------------------------------

TEST(PanelBoxTest, StartsFramedOnAllSidesInGrey)
{
    priv::TZorvPanelBox panel;
    EXPECT_TRUE(panel.HasBorder());
    EXPECT_EQ(panel.BorderColor(), QColor(142, 142, 142));
    EXPECT_TRUE(panel.HasTopBorder() && panel.HasBottomBorder() && panel.HasLeftBorder() &&
                panel.HasRightBorder());
}

TEST(PanelBoxTest, ClientAreaAndDrawnSidesFollowTheBorderFlags)
{
    struct Case {
        const char* name;
        bool border, top, bottom, left, right;
        QRect client;
        bool drawnTop, drawnBottom, drawnLeft, drawnRight;
    };
    const Case cases[] = {
        {"all sides", true, true, true, true, true, {1, 1, 38, 28}, true, true, true, true},
        {"no top", true, false, true, true, true, {1, 0, 38, 29}, false, true, true, true},
        {"bottom only", true, false, true, false, false, {0, 0, 40, 29}, false, true, false, false},
        {"no border at all", false, true, true, true, true, {0, 0, 40, 30}, false, false, false, false},
    };
    const QColor red(255, 0, 0), white(255, 255, 255);
    for (const Case& c : cases) {
        priv::TZorvPanelBox panel;
        panel.resize(40, 30);
        QPalette palette = panel.palette();
        palette.setColor(QPalette::Window, white);
        panel.setPalette(palette);
        panel.SetBorderColor(red);
        panel.SetHasBorder(c.border);
        panel.SetHasTopBorder(c.top);
        panel.SetHasBottomBorder(c.bottom);
        panel.SetHasLeftBorder(c.left);
        panel.SetHasRightBorder(c.right);
        auto* layout = new QVBoxLayout(&panel);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* child = new QWidget;
        layout->addWidget(child);
        panel.show();
        layout->activate();

        EXPECT_EQ(panel.ClientRect(), c.client) << c.name;
        EXPECT_EQ(child->geometry(), c.client) << c.name;
        child->hide();
        const QImage picture = panel.grab().toImage();
        EXPECT_EQ(picture.pixelColor(20, 0), c.drawnTop ? red : white) << c.name;
        EXPECT_EQ(picture.pixelColor(20, 29), c.drawnBottom ? red : white) << c.name;
        EXPECT_EQ(picture.pixelColor(0, 15), c.drawnLeft ? red : white) << c.name;
        EXPECT_EQ(picture.pixelColor(39, 15), c.drawnRight ? red : white) << c.name;
    }
}

// --- Animator ------------------------------------------------------------------

const QColor kFrameColors[] = {{200, 0, 0}, {0, 160, 0}, {0, 0, 220}, {230, 200, 0}};

// Four 10 x 6 frames in four colours; the right half of each is transparent.
std::unique_ptr<priv::TZorvImageList> ColourFrames()
{
    auto list = std::make_unique<priv::TZorvImageList>(10, 6);
    for (const QColor& color : kFrameColors) {
        QImage frame(10, 6, QImage::Format_ARGB32_Premultiplied);
        frame.fill(Qt::transparent);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 5; ++x)
                frame.setPixelColor(x, y, color);
        list->Add(frame);
    }
    return list;
}

class AnimatorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        frames_ = ColourFrames();
        host_.resize(60, 40);
        animator_ = new priv::TZorvAnimator(&host_);
        animator_->SetAnimate(false); // the tests drive the ticks
        animator_->SetImageList(frames_.get());
        animator_->SetOnFrameChange([this](QObject* sender, int frame) {
            EXPECT_EQ(sender, animator_);
            told_.push_back(frame);
        });
    }

    std::unique_ptr<priv::TZorvImageList> frames_;
    QWidget host_;
    priv::TZorvAnimator* animator_ = nullptr;
    std::vector<int> told_;
};

// Made as a form makes it, an animator plays as soon as it has frames: the
// first frame shows, and each tick of its own timer (100 ms) shows the next.
TEST_F(AnimatorTest, AFreshAnimatorPlaysItsFramesAsSoonAsItHasThem)
{
    auto* fresh = new priv::TZorvAnimator(&host_);
    EXPECT_EQ(fresh->size(), QSize(40, 40));
    EXPECT_TRUE(fresh->TimerActive());
    EXPECT_EQ(fresh->TimerInterval(), 100);
    fresh->SetImageList(frames_.get());
    EXPECT_EQ(fresh->size(), QSize(10, 6));
    fresh->move(30, 20);
    host_.show(); // no events run, so its own timer does not tick in between
    EXPECT_EQ(host_.grab().toImage().pixelColor(32, 22), kFrameColors[0]);
    fresh->TimerTick();
    EXPECT_EQ(host_.grab().toImage().pixelColor(32, 22), kFrameColors[1]);
    EXPECT_EQ(fresh->TimerInterval(), 100);
}

TEST_F(AnimatorTest, TicksPlayTheFramesAndHoldTheLastOneLonger)
{
    animator_->SetDelay(50);
    animator_->SetDelayUntilRepeat(100);
    EXPECT_EQ(animator_->size(), QSize(10, 6));

    std::vector<int> intervals, indexes;
    for (int tick = 0; tick < 5; ++tick) {
        animator_->TimerTick();
        intervals.push_back(animator_->TimerInterval());
        indexes.push_back(animator_->ImageIndex());
    }
    EXPECT_EQ(told_, (std::vector<int>{0, 1, 2, 3, 0}));
    EXPECT_EQ(intervals, (std::vector<int>{50, 50, 50, 100, 50}));
    EXPECT_EQ(indexes, (std::vector<int>{1, 2, 3, 0, 1}));
}

TEST_F(AnimatorTest, RepaintingTheSameFrameIsNotAFrameChange)
{
    host_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host_));
    animator_->repaint();
    animator_->repaint();
    EXPECT_EQ(told_, std::vector<int>{0});
    animator_->TimerTick(); // draws frame 0 again, then moves on
    EXPECT_EQ(told_, std::vector<int>{0});
    animator_->repaint(); // a paint between ticks draws the next frame
    EXPECT_EQ(told_, (std::vector<int>{0, 1}));
}

TEST_F(AnimatorTest, AnIndexBeyondTheFramesStartsAgainAtZero)
{
    animator_->SetImageIndex(9);
    animator_->TimerTick();
    EXPECT_EQ(told_, std::vector<int>{0});
    EXPECT_EQ(animator_->ImageIndex(), 1);
}

TEST_F(AnimatorTest, KeepsTheFrameSizeAndForgetsADestroyedList)
{
    host_.show();
    animator_->resize(30, 30);
    EXPECT_EQ(animator_->size(), QSize(10, 6));
    frames_.reset();
    EXPECT_EQ(animator_->ImageList(), nullptr);
    animator_->TimerTick();
    animator_->resize(30, 30);
    EXPECT_EQ(animator_->size(), QSize(30, 30));
}

TEST_F(AnimatorTest, DrawsTheFrameOverItsColourOrOverTheParent)
{
    QPalette palette = host_.palette();
    palette.setColor(QPalette::Window, QColor(255, 0, 255));
    host_.setPalette(palette);
    host_.setAutoFillBackground(true);
    animator_->move(20, 10);
    animator_->SetColor(QColor(10, 10, 10));
    host_.show();

    QImage picture = host_.grab().toImage();
    EXPECT_EQ(picture.pixelColor(22, 12), kFrameColors[0]);
    EXPECT_EQ(picture.pixelColor(28, 12), QColor(10, 10, 10));
    animator_->SetTransparent(true);
    picture = host_.grab().toImage();
    EXPECT_EQ(picture.pixelColor(22, 12), kFrameColors[0]);
    EXPECT_EQ(picture.pixelColor(28, 12), QColor(255, 0, 255));
}

TEST_F(AnimatorTest, TheTimerDrivesItWhileAnimating)
{
    host_.show();
    animator_->SetDelay(5);
    animator_->SetDelayUntilRepeat(5);
    animator_->SetAnimate(true);
    EXPECT_TRUE(animator_->TimerActive());
    QTRY_VERIFY(told_.size() >= 5);
    animator_->SetAnimate(false);
    EXPECT_FALSE(animator_->TimerActive());
    const std::size_t seen = told_.size();
    QTest::qWait(30);
    EXPECT_EQ(told_.size(), seen);
    EXPECT_EQ((std::vector<int>(told_.begin(), told_.begin() + 5)), (std::vector<int>{0, 1, 2, 3, 0}));
}

// --- Balloon tip -------------------------------------------------------------

TEST(BalloonTipTest, OwnerMustBeAWindowOrControl)
{
    QObject notAControl;
    for (QObject* owner : {&notAControl, static_cast<QObject*>(nullptr)}) {
        try {
            priv::TToolTip tip(owner);
            ADD_FAILURE() << "constructed with an owner that is no control";
        } catch (const std::invalid_argument& error) {
            EXPECT_STREQ(error.what(), "TToolTip's owner must be a 'TWinControl' type.");
        }
    }
    QWidget control;
    priv::TToolTip tip(&control);
    EXPECT_EQ(tip.Interval(), 1000);
    EXPECT_EQ(tip.Alignment(), priv::taLeft);
    EXPECT_EQ(tip.ICON(), priv::ttNoneIcon);
    EXPECT_FALSE(tip.Shown());
}

TEST(BalloonTipTest, PointsAtTheControlByAlignment)
{
    const QRect windowRect(QPoint(100, 200), QPoint(299, 220)); // (100, 200, 300, 221)
    EXPECT_EQ(priv::TToolTip::BalloonPoint(windowRect, priv::taLeft), QPoint(100, 215));
    EXPECT_EQ(priv::TToolTip::BalloonPoint(windowRect, priv::taClosewithLeft), QPoint(115, 215));
    EXPECT_EQ(priv::TToolTip::BalloonPoint(windowRect, priv::taCenter), QPoint(200, 215));
    EXPECT_EQ(priv::TToolTip::BalloonPoint(windowRect, priv::taRight), QPoint(300, 215));
}

class BalloonAtEditTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        edit_.setWindowFlag(Qt::FramelessWindowHint);
        edit_.setGeometry(100, 200, 200, 21);
        edit_.setToolTip(QStringLiteral("请输入密码"));
        edit_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&edit_));
    }

    QLineEdit edit_;
};

TEST_F(BalloonAtEditTest, StemPointsAtTheComputedPointAndTheHintIsSwitchedOff)
{
    ASSERT_EQ(QRect(edit_.mapToGlobal(QPoint(0, 0)), edit_.size()), QRect(100, 200, 200, 21));
    priv::TToolTip tip(&edit_);
    tip.SetAlignment(priv::taClosewithLeft);
    tip.ShowBalloon(&edit_, priv::ttWarningIcon, QStringLiteral("按下大写锁定键可能导致密码输入错误。"),
                    QStringLiteral("大写锁定已打开"));
    ASSERT_NE(tip.Handle(), nullptr);
    EXPECT_TRUE(tip.Shown());
    EXPECT_TRUE(tip.Handle()->isVisible());
    EXPECT_EQ(tip.Handle()->TipPosition(), QPoint(115, 215));
    EXPECT_EQ(tip.Handle()->Title(), QStringLiteral("大写锁定已打开"));
    EXPECT_EQ(tip.Handle()->Icon(), priv::ttWarningIcon);
    EXPECT_TRUE(edit_.toolTip().isEmpty());
}

TEST_F(BalloonAtEditTest, IntervalZeroKeepsTheBalloon)
{
    priv::TToolTip tip(&edit_);
    tip.SetInterval(0);
    tip.ShowBalloon(&edit_, priv::ttInformationIcon, QStringLiteral("提示"), QStringLiteral("说明"));
    EXPECT_FALSE(tip.HideTimerActive());
    QTest::qWait(50);
    EXPECT_TRUE(tip.Shown());
    EXPECT_TRUE(tip.Handle()->isVisible());
}

TEST_F(BalloonAtEditTest, HidesAfterItsIntervalAndGivesTheHintBack)
{
    priv::TToolTip tip(&edit_);
    tip.SetInterval(20);
    tip.ShowAt(&edit_);
    EXPECT_TRUE(tip.HideTimerActive());
    EXPECT_TRUE(edit_.toolTip().isEmpty());
    QTRY_VERIFY(!tip.Shown());
    EXPECT_FALSE(tip.Handle()->isVisible());
    EXPECT_FALSE(tip.HideTimerActive());
    EXPECT_EQ(edit_.toolTip(), QStringLiteral("请输入密码"));
}

TEST_F(BalloonAtEditTest, DestroyingTheTipHidesItAndGivesTheHintBack)
{
    auto tip = std::make_unique<priv::TToolTip>(&edit_);
    tip->SetInterval(0);
    tip->ShowAt(&edit_);
    tip->ShowAt(&edit_); // showing again keeps the hint that was saved first
    QPointer<QWidget> balloon = tip->Handle();
    EXPECT_TRUE(edit_.toolTip().isEmpty());
    tip.reset();
    EXPECT_FALSE(balloon);
    EXPECT_EQ(edit_.toolTip(), QStringLiteral("请输入密码"));
}

TEST(BalloonScreenshotTest, BalloonAtAPasswordBox)
{
    QWidget window;
    window.setWindowFlag(Qt::FramelessWindowHint);
    window.setGeometry(120, 160, 360, 130);
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, QColor(238, 245, 252));
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    window.setFont(priv::PixelFont(QStringLiteral("宋体"), 12));
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(30, 20, 30, 60);
    layout->addWidget(new QLabel(QStringLiteral("密码：")));
    auto* password = new QLineEdit;
    password->setEchoMode(QLineEdit::Password);
    password->setText(QStringLiteral("SECRET"));
    layout->addWidget(password);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    priv::TToolTip tip(&window);
    tip.SetAlignment(priv::taClosewithLeft);
    tip.SetInterval(0);
    tip.ShowBalloon(password, priv::ttWarningIcon, QStringLiteral("按下大写锁定键可能导致密码输入错误。"),
                    QStringLiteral("大写锁定已打开"));
    // The balloon stands beside the box with its stem in the box, and shows
    // its texts in dark letters on its light body.
    priv::TBalloonWindow* balloon = tip.Handle();
    ASSERT_NE(balloon, nullptr);
    ASSERT_TRUE(balloon->isVisible());
    const QRect box(password->mapToGlobal(QPoint(0, 0)), password->size());
    EXPECT_TRUE(box.contains(balloon->TipPosition()));
    EXPECT_FALSE(QRect(balloon->mapToGlobal(QPoint(0, 0)), balloon->size()).contains(box));
    const QImage picture = balloon->grab().toImage();
    int dark = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (picture.pixelColor(x, y).lightness() < 96)
                ++dark;
    EXPECT_GT(dark, 50) << "the balloon painted no letters";
    EXPECT_TRUE(priv::test::SaveScreenshotWithOverlay(&window, tip.Handle(), QStringLiteral("balloon_tip")));
}

// --- Front window and input-method names --------------------------------------

TEST(ForceForegroundTest, RestoresAndActivatesTheWindow)
{
    QWidget other;
    other.show();
    QWidget window;
    window.showMinimized();
    EXPECT_TRUE(priv::ForceForeground(&window));
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(window.isActiveWindow());
    EXPECT_TRUE(priv::ForceForeground(&window)); // already in front
    EXPECT_FALSE(priv::ForceForeground(nullptr));
}

TEST(ClearImeNamesTest, ClearsTheNameOfEveryControl)
{
    QWidget window;
    auto* first = new QLineEdit(&window);
    auto* nested = new QLineEdit(new QWidget(&window));
    first->setProperty("imeName", QStringLiteral("英语"));
    nested->setProperty("imeName", QStringLiteral("搜狗拼音输入法"));
    priv::ClearImeNames(&window);
    EXPECT_TRUE(first->property("imeName").toString().isEmpty());
    EXPECT_TRUE(nested->property("imeName").toString().isEmpty());
    priv::ClearImeNames(nullptr);
}

} // namespace
