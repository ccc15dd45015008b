// SPDX-License-Identifier: GPL-3.0-or-later
// Offscreen tests of the panel window: element geometry, what a paint touches,
// the background picture, and the key areas' signals.
#include "panel/LcdArt.h"
#include "panel/PanelKeys.h"
#include "panel/PanelLayout.h"
#include "panel/TfrmPanel.h"

#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPointer>

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
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
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

TEST(TfrmPanel, missingBackgroundLeavesNoPicture)
{
    LcdState state;
    TfrmPanel panel(state);
    EXPECT_TRUE(panel.setBackground(QStringLiteral(VANDREL_PANEL_PICTURES "/PANEL560.BMP")));
    const auto *image1 = qobject_cast<QLabel *>(element(panel, "Image1"));
    EXPECT_EQ(image1->pixmap().size(), QSize(BackgroundWidth, BackgroundHeight));
    EXPECT_FALSE(panel.setBackground(QStringLiteral("/nonexistent/RESOURCE/PANEL999.BMP")));
    EXPECT_TRUE(image1->pixmap().isNull());
    EXPECT_FALSE(panel.setBackground(QString()));
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
