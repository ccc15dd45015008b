// SPDX-License-Identifier: GPL-3.0-or-later
// Offscreen tests of the panel window: element geometry, what a paint touches,
// the background picture, and the key areas' signals.
#include "panel/LcdArt.h"
#include "panel/PanelKeys.h"
#include "panel/PanelLayout.h"
#include "panel/PanelScale.h"
#include "panel/PlainBody.h"
#include "panel/TfrmPanel.h"

#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPointer>

#include <algorithm>
#include <cstdlib>

#include <gtest/gtest.h>

using namespace vandrel;

namespace {

// Widgets need an application object for the whole test run.
class QtApplication : public ::testing::Environment {
public:
    void SetUp() override { app_ = new QApplication(argc_, argv_); }
    void TearDown() override { delete app_; }

private:
    int argc_ = 1;
    char name_[16] = "panel_gui_test";
    char *argv_[2] = {name_, nullptr};
    QApplication *app_ = nullptr;
};

[[maybe_unused]] const auto *const Environment = ::testing::AddGlobalTestEnvironment(new QtApplication);

MeterReading busyReading()
{
    MeterReading r;
    r.ShownRh = 45.6;
    r.ShownT1 = -3.2;
    r.ShownT2 = 21.0;
    r.MaxMinMode = 1;
    r.LowBattery = true;
    return r;
}

QRect rectOf(const PanelElement &e) { return QRect(e.left, e.top, e.width, e.height); }

QWidget *element(TfrmPanel &panel, const char *name)
{
    return panel.findChild<QWidget *>(QString::fromLatin1(name));
}

void mouse(QWidget *w, QEvent::Type type, Qt::MouseButton button, QPoint at = {3, 3})
{
    const bool down = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick;
    const Qt::MouseButtons held = down ? Qt::MouseButtons(button) : Qt::NoButton;
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

TEST(TfrmPanel, everyElementSitsWhereTheLayoutSays)
{
    LcdState state;
    TfrmPanel panel(state);
    EXPECT_EQ(panel.size(), QSize(PanelClientWidth, PanelClientHeight));
    EXPECT_EQ(panel.windowTitle(), QStringLiteral("Panel"));
    std::vector<PanelElement> all(GlyphElements.begin(), GlyphElements.end());
    all.insert(all.end(), IconElements.begin() + 1, IconElements.end());
    all.insert(all.end(), KeyElements.begin(), KeyElements.end());
    all.push_back(NoLinkElement);
    all.push_back(BackgroundElement);
    for (const PanelElement &e : all) {
        QWidget *w = element(panel, e.name);
        ASSERT_NE(w, nullptr) << e.name;
        EXPECT_EQ(w->geometry(), rectOf(e)) << e.name;
    }
}

TEST(TfrmPanel, keyAreasShowTheHandAndLieOnTop)
{
    LcdState state;
    TfrmPanel panel(state);
    for (const PanelElement &e : KeyElements) {
        QWidget *w = element(panel, e.name);
        EXPECT_EQ(w->cursor().shape(), Qt::PointingHandCursor) << e.name;
        EXPECT_EQ(panel.childAt(rectOf(e).center()), w) << e.name;
    }
}

TEST(TfrmPanel, paintShowsTheStateAndTouchesNothingWhenUnchanged)
{
    LcdState state;
    TfrmPanel panel(state);
    BuildLcdState(busyReading(), MeterIdentity{580, 0}, state);
    panel.PaintPanel();
    EXPECT_GT(panel.lastTouchCount(), 0);

    for (int bit = FirstIconBit; bit <= LastIconBit; ++bit) {
        const QWidget *icon = element(panel, IconElements[static_cast<std::size_t>(bit)].name);
        EXPECT_EQ(icon->isVisibleTo(&panel), (state.LcdIconFlags & iconBit(bit)) != 0) << icon->objectName().toStdString();
    }
    for (int i = 0; i < GlyphPositionCount; ++i) {
        const auto *label = qobject_cast<QLabel *>(element(panel, GlyphElements[static_cast<std::size_t>(i)].name));
        const QImage shown = label->pixmap().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const QImage expected = LcdArt::instance().glyph(i < 4 ? GlyphSet::Main : GlyphSet::Small,
                                                          state.Codes[static_cast<std::size_t>(i)]);
        EXPECT_EQ(shown, expected) << "position " << i;
    }

    BuildLcdState(busyReading(), MeterIdentity{580, 0}, state);
    panel.PaintPanel();
    EXPECT_EQ(panel.lastTouchCount(), 0);
}

TEST(TfrmPanel, reopenedPanelStartsBlankFromSurvivingState)
{
    LcdState state;
    {
        TfrmPanel first(state);
        BuildLcdState(busyReading(), MeterIdentity{580, 0}, state);
        first.PaintPanel();
    }
    TfrmPanel second(state);
    EXPECT_EQ(state.Codes, LcdState::blankCodes());
    EXPECT_EQ(state.VisibleIcons, 0u);
    EXPECT_FALSE(element(second, "imgRH")->isVisibleTo(&second));
    BuildLcdState(busyReading(), MeterIdentity{580, 0}, state);
    second.PaintPanel();
    EXPECT_TRUE(element(second, "imgRH")->isVisibleTo(&second));
}

int luminance(QRgb c) { return (299 * qRed(c) + 587 * qGreen(c) + 114 * qBlue(c)) / 1000; }

// With or without its picture the panel reads: light glass behind the dark
// segments, and every key standing out from the window around it.
TEST(TfrmPanel, readableWithAndWithoutItsPicture)
{
    struct Case {
        const char *what;
        bool load;
        QString file;
        bool loaded;
    };
    const Case cases[] = {
        {"model without a picture (nothing loaded)", false, QString(), false},
        {"picture file missing", true, QStringLiteral("/nonexistent/RESOURCE/PANEL580.BMP"), false},
        {"no file name", true, QString(), false},
        {"picture found", true, QStringLiteral(VANDREL_PANEL_PICTURES "/PANEL560.BMP"), true},
    };
    const int segment = luminance(LcdArt::segmentColor().rgb());
    for (const Case &c : cases) {
        LcdState state;
        TfrmPanel panel(state);
        if (c.load) {
            EXPECT_TRUE(panel.setBackground(QStringLiteral(VANDREL_PANEL_PICTURES "/PANEL520.BMP")));
            EXPECT_EQ(panel.setBackground(c.file), c.loaded) << c.what;
        }
        const auto *image1 = qobject_cast<QLabel *>(element(panel, "Image1"));
        EXPECT_EQ(image1->pixmap().size(), QSize(BackgroundWidth, BackgroundHeight)) << c.what;
        const QImage shot = panel.grab().toImage();
        const int windowColour = luminance(panel.palette().color(QPalette::Window).rgb());
        // Glass around the digits of every row.
        for (const QPoint at : {QPoint(10, 62), QPoint(60, 95), QPoint(64, 122), QPoint(118, 100)})
            EXPECT_GT(luminance(shot.pixel(at)) - segment, 100) << c.what << " at " << at.x() << "," << at.y();
        for (const PanelElement &key : KeyElements) {
            int contrast = 0;
            const QRect r = rectOf(key);
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    contrast = std::max(contrast, std::abs(luminance(shot.pixel(x, y)) - windowColour));
            EXPECT_GT(contrast, 80) << c.what << ": " << key.name << " cannot be seen";
        }
    }
}

// At every size the panel, its digits, icons and keys grow together, and its
// child window fits around it.
TEST(TfrmPanel, scalesWithItsKeysAndFitsItsWindow)
{
    LcdState state;
    QMdiArea area;
    area.resize(800, 900);
    area.show();
    auto *panel = new TfrmPanel(state);
    QMdiSubWindow *sub = panel->showIn(area);
    std::vector<PanelElement> all(GlyphElements.begin(), GlyphElements.end());
    all.insert(all.end(), IconElements.begin() + 1, IconElements.end());
    all.push_back(NoLinkElement);
    BuildLcdState(busyReading(), MeterIdentity{580, 0}, state);
    panel->PaintPanel();
    for (int percent : {150, 200, 100, 150}) {
        panel->setScale(percent);
        EXPECT_EQ(panel->scalePercent(), percent);
        const QSize size = scaledSize(QSize(PanelClientWidth, PanelClientHeight), percent);
        EXPECT_EQ(panel->size(), size) << percent;
        EXPECT_TRUE(sub->contentsRect().contains(QRect(panel->mapTo(sub, QPoint(0, 0)), size))) << percent;
        EXPECT_LT(sub->width() - size.width(), 40) << "the window fits closely at " << percent;
        for (const PanelElement &e : all)
            EXPECT_EQ(element(*panel, e.name)->geometry(), scaledRect(e, percent)) << e.name << " at " << percent;
        for (const PanelElement &e : KeyElements) {
            QWidget *key = element(*panel, e.name);
            EXPECT_EQ(key->geometry(), scaledRect(e, percent)) << e.name;
            EXPECT_EQ(panel->childAt(scaledRect(e, percent).center()), key) << e.name << " at " << percent;
        }
        const auto *image1 = qobject_cast<QLabel *>(element(*panel, "Image1"));
        EXPECT_EQ(image1->pixmap().size(), scaledRect(BackgroundElement, percent).size()) << percent;
        const auto *digit = qobject_cast<QLabel *>(element(*panel, "MainD2"));
        EXPECT_EQ(digit->pixmap().size(), scaledSize(QSize(14, 24), percent)) << percent;
        // 45.6: the second digit shows the 4 drawn before the size changed,
        // drawn again for the new size.
        const QImage expected = LcdArt(percent).glyph(GlyphSet::Main, 4);
        EXPECT_EQ(digit->pixmap().toImage().convertToFormat(expected.format()), expected) << percent;
    }
    panel->setScale(175);
    EXPECT_EQ(panel->scalePercent(), 100);
}

TEST(TfrmPanel, largerSizesAreDrawnForTheirSizeNotStretched)
{
    const LcdArt one(100);
    const LcdArt two(200);
    // Pixel-drawn icons: every pixel doubled exactly.
    for (int bit = FirstIconBit; bit <= LastIconBit; ++bit) {
        const QImage small = one.icon(bit);
        const QImage large = two.icon(bit);
        ASSERT_EQ(large.size(), small.size() * 2) << bit;
        int differing = 0;
        for (int y = 0; y < large.height(); ++y)
            for (int x = 0; x < large.width(); ++x)
                differing += large.pixel(x, y) != small.pixel(x / 2, y / 2);
        EXPECT_EQ(differing, 0) << "icon " << bit;
    }
    // Glyphs drawn from their shapes keep sharp edges: far fewer half-covered
    // pixels than the small glyph stretched.
    const auto partial = [](const QImage &image) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const int a = qAlpha(image.pixel(x, y));
                n += a > 40 && a < 215;
            }
        return n;
    };
    for (int code : {1, 4, 8}) {
        const QImage drawn = two.glyph(GlyphSet::Main, code);
        const QImage small = one.glyph(GlyphSet::Main, code);
        const QImage stretched = small.scaled(small.size() * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        ASSERT_EQ(drawn.size(), stretched.size());
        EXPECT_LT(partial(drawn) * 2, partial(stretched)) << code;
    }
    // The body without a picture is drawn twice as large, not enlarged.
    LcdState state;
    TfrmPanel panel(state);
    panel.setScale(200);
    const auto *image1 = qobject_cast<QLabel *>(element(panel, "Image1"));
    const QImage body = plainBodyPicture(2);
    ASSERT_EQ(image1->pixmap().size(), body.size());
    EXPECT_EQ(image1->pixmap().toImage().convertToFormat(body.format()), body);
    // Nor is a body picture that has its larger drawing beside it.
    ASSERT_TRUE(panel.setBackground(QStringLiteral(VANDREL_PANEL_PICTURES "/PANEL580.BMP")));
    const QImage large(QStringLiteral(VANDREL_PANEL_PICTURES "/PANEL580@2x.png"));
    ASSERT_FALSE(large.isNull());
    EXPECT_EQ(image1->pixmap().toImage().convertToFormat(large.format()), large);
}

TEST(TfrmPanel, noLinkLabelShowsAndHides)
{
    LcdState state;
    TfrmPanel panel(state);
    const auto *label = qobject_cast<QLabel *>(element(panel, "lblnolink"));
    EXPECT_EQ(label->text(), QStringLiteral("No Connection"));
    EXPECT_FALSE(label->isVisibleTo(&panel));
    panel.setNoLinkVisible(true);
    EXPECT_TRUE(label->isVisibleTo(&panel));
}

TEST(TfrmPanel, keyAreasReportPressReleaseAndClick)
{
    LcdState state;
    TfrmPanel panel(state);
    std::vector<int> pressed, released, clicked;
    QObject::connect(&panel, &TfrmPanel::keyPressed, [&pressed](int key) { pressed.push_back(key); });
    QObject::connect(&panel, &TfrmPanel::keyReleased, [&released](int key) { released.push_back(key); });
    QObject::connect(&panel, &TfrmPanel::keyClicked, [&clicked](int key) { clicked.push_back(key); });
    QWidget *maxMin = element(panel, "lblbtn0");
    mouse(maxMin, QEvent::MouseButtonPress, Qt::RightButton);
    mouse(maxMin, QEvent::MouseButtonRelease, Qt::RightButton);
    EXPECT_EQ(pressed, std::vector<int>{static_cast<int>(PanelKey::MaxMin)});
    EXPECT_EQ(released, std::vector<int>{static_cast<int>(PanelKey::MaxMin)});
    EXPECT_TRUE(clicked.empty()) << "a click takes the left button";

    QWidget *hold = element(panel, "lblbtn1");
    mouse(hold, QEvent::MouseButtonPress, Qt::LeftButton);
    mouse(hold, QEvent::MouseButtonRelease, Qt::LeftButton, {200, 3});
    EXPECT_TRUE(clicked.empty()) << "released outside the area";
    mouse(hold, QEvent::MouseButtonPress, Qt::LeftButton);
    mouse(hold, QEvent::MouseButtonRelease, Qt::LeftButton);
    EXPECT_EQ(clicked, std::vector<int>{static_cast<int>(PanelKey::Hold)});
}

// What the system delivers for a double-click: press, release, then the
// second press only as a double-click event, then its release.
TEST(TfrmPanel, aDoubleClickOnAKeyIsOnePressAndOneClick)
{
    LcdState state;
    TfrmPanel panel(state);
    for (const PanelElement &e : KeyElements) {
        if (qstrcmp(e.name, "Label1") == 0)
            continue; // closes the panel
        std::vector<int> pressed, clicked;
        const auto p = QObject::connect(&panel, &TfrmPanel::keyPressed, [&pressed](int key) { pressed.push_back(key); });
        const auto c = QObject::connect(&panel, &TfrmPanel::keyClicked, [&clicked](int key) { clicked.push_back(key); });
        QWidget *area = element(panel, e.name);
        mouse(area, QEvent::MouseButtonPress, Qt::LeftButton);
        mouse(area, QEvent::MouseButtonRelease, Qt::LeftButton);
        mouse(area, QEvent::MouseButtonDblClick, Qt::LeftButton);
        mouse(area, QEvent::MouseButtonRelease, Qt::LeftButton);
        EXPECT_EQ(pressed.size(), 1u) << e.name;
        EXPECT_EQ(clicked.size(), 1u) << e.name;
        // The next single click counts again.
        mouse(area, QEvent::MouseButtonPress, Qt::LeftButton);
        mouse(area, QEvent::MouseButtonRelease, Qt::LeftButton);
        EXPECT_EQ(pressed.size(), 2u) << e.name;
        EXPECT_EQ(clicked.size(), 2u) << e.name;
        QObject::disconnect(p);
        QObject::disconnect(c);
    }
}

// Lit pixels of the small rows' point, dash and colon never touch (even
// diagonally) a lit pixel of the digit beside them, whatever that digit shows.
TEST(TfrmPanel, smallRowSeparatorsKeepClearOfTheirDigits)
{
    struct Case {
        int bit;
        int leftDigit, rightDigit; // glyph positions beside it
    };
    const Case cases[] = {
        {IconDash, 5, 6}, {IconSubPoint, 6, 7}, {IconColon, 9, 10}, {IconThirdPoint, 10, 11},
    };
    const auto lit = [](const QImage &image, int x, int y, int alpha) {
        return x >= 0 && y >= 0 && x < image.width() && y < image.height() && qAlpha(image.pixel(x, y)) >= alpha;
    };
    for (const Case &c : cases) {
        const PanelElement &sep = IconElements[static_cast<std::size_t>(c.bit)];
        const QImage sepImage = LcdArt::instance().icon(c.bit).convertToFormat(QImage::Format_ARGB32);
        int sepPixels = 0;
        for (int digit : {c.leftDigit, c.rightDigit}) {
            const PanelElement &d = GlyphElements[static_cast<std::size_t>(digit)];
            for (int code = 0; code < 16; ++code) {
                const QImage g = LcdArt::instance().glyph(GlyphSet::Small, code).convertToFormat(QImage::Format_ARGB32);
                for (int y = 0; y < sepImage.height(); ++y) {
                    for (int x = 0; x < sepImage.width(); ++x) {
                        if (!lit(sepImage, x, y, 128))
                            continue;
                        ++sepPixels;
                        const int px = sep.left + x, py = sep.top + y;
                        for (int dy = -1; dy <= 1; ++dy)
                            for (int dx = -1; dx <= 1; ++dx)
                                EXPECT_FALSE(lit(g, px + dx - d.left, py + dy - d.top, 64))
                                    << sep.name << " touches " << d.name << " showing " << code;
                    }
                }
            }
        }
        EXPECT_GT(sepPixels, 0) << sep.name << " draws nothing";
    }
}

TEST(TfrmPanel, label1ClosesAndFreesItsSubWindow)
{
    LcdState state;
    QMdiArea area;
    area.resize(600, 500);
    area.show();
    auto *panel = new TfrmPanel(state);
    const QPointer<QMdiSubWindow> sub = panel->showIn(area);
    const QPointer<TfrmPanel> alive(panel);
    EXPECT_EQ(sub->windowTitle(), QStringLiteral("Panel"));
    EXPECT_EQ(sub->pos(), QPoint(0, 0));
    EXPECT_EQ(panel->size(), QSize(PanelClientWidth, PanelClientHeight));
    int closing = 0;
    QObject::connect(panel, &TfrmPanel::closeRequested, [&closing] { ++closing; });
    QWidget *label1 = element(*panel, "Label1");
    mouse(label1, QEvent::MouseButtonPress, Qt::LeftButton);
    mouse(label1, QEvent::MouseButtonRelease, Qt::LeftButton);
    EXPECT_EQ(closing, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(sub.isNull());
    EXPECT_TRUE(alive.isNull());
}

TEST(TfrmPanel, blinkHelpersChangeOnlyTheirIcons)
{
    LcdState state;
    TfrmPanel panel(state);
    MeterReading r = busyReading();
    r.MaxMinMode = 3;
    BuildLcdState(r, MeterIdentity{580, 'D'}, state);
    panel.PaintPanel();
    panel.BlinkStep(true, r);
    EXPECT_TRUE(element(panel, "imgMAX")->isVisibleTo(&panel));
    EXPECT_TRUE(element(panel, "imgMIN")->isVisibleTo(&panel));
    EXPECT_EQ(panel.lastTouchCount(), 2);
    panel.DPTimerTimer();
    EXPECT_FALSE(element(panel, "imgT1")->isVisibleTo(&panel));
    EXPECT_FALSE(element(panel, "imgT2")->isVisibleTo(&panel));
    panel.showTemperatureLegends();
    EXPECT_TRUE(element(panel, "imgT1")->isVisibleTo(&panel));
    panel.stopMaxMinDisplay();
    EXPECT_FALSE(element(panel, "imgMAX")->isVisibleTo(&panel));
    EXPECT_FALSE(state.MaxMinBlink);
}

} // namespace
