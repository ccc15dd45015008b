// SPDX-License-Identifier: GPL-3.0-or-later
// The chart's axes as they are laid out: time labels that never overlap at any
// width and span, and value-axis titles that fit their panes.
#include "platform/ChartTicker.h"
#include "platform/MeterChart.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

using namespace vandrel;

namespace {

constexpr double Noon = 45000.5; // a day count at 12:00:00
constexpr double Second = 1.0 / 86400.0;

} // namespace

namespace {

struct LabelCase {
    int width;          // of the chart, in pixels
    double spanSeconds; // of the time axis
};

std::ostream &operator<<(std::ostream &os, const LabelCase &c)
{
    return os << c.width << " px, " << c.spanSeconds << " s";
}

class TimeLabelTest : public ::testing::TestWithParam<LabelCase> {};

// A chart of two panes, humidity over temperature, `width` x `height` pixels.
void setUpTwoPanes(MeterChart &chart, int width, int height)
{
    chart.resize(width, height);
    chart.show();
    chart.SetPointCount(2);
    chart.SetSeriesCount(2);
    chart.SetAxisSeries(0, 1);
    chart.SetAxisSeries(1, 1);
    for (int axis : {0, 1}) {
        chart.SetWorkingAxis(axis);
        chart.SetYLabel(axis == 0 ? QStringLiteral("HUMIDITY (%RH)") : QStringLiteral("TEMPERATURE (\u00b0C)"));
        chart.SetYMin(-20);
        chart.SetYMax(140);
    }
}

} // namespace

// Whatever the chart's width and the span shown, the time labels sit side by side
// with room between them, and at least two of them show.
TEST_P(TimeLabelTest, labelsNeverOverlapAndAtLeastTwoShow)
{
    const LabelCase c = GetParam();
    MeterChart chart;
    setUpTwoPanes(chart, c.width, 421);
    chart.SetXMin(Noon);
    chart.SetXMax(Noon + c.spanSeconds * Second);
    chart.Refresh();

    const QCPAxis *time = chart.graphOf(1)->keyAxis();
    ASSERT_TRUE(time->tickLabels());
    const QFontMetricsF metrics(time->tickLabelFont());
    struct Shown {
        double pixel, halfWidth;
    };
    std::vector<Shown> shown;
    const QVector<double> ticks = time->tickVector();
    const QVector<QString> labels = time->tickVectorLabels();
    ASSERT_EQ(ticks.size(), labels.size());
    for (int i = 0; i < ticks.size(); ++i) {
        if (!time->range().contains(ticks[i]))
            continue;
        double width = 0.0;
        for (const QString &line : labels[i].split(QLatin1Char('\n')))
            width = std::max(width, metrics.horizontalAdvance(line));
        shown.push_back({time->coordToPixel(ticks[i]), width / 2});
    }
    ASSERT_GE(shown.size(), 2u) << labels.join(QLatin1Char('|')).toStdString();
    for (std::size_t i = 1; i < shown.size(); ++i) {
        const double room = shown[i].pixel - shown[i - 1].pixel - shown[i].halfWidth - shown[i - 1].halfWidth;
        EXPECT_GE(room, 4.0) << "between " << labels[static_cast<int>(i) - 1].toStdString() << " and "
                             << labels[static_cast<int>(i)].toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    WidthsAndSpans, TimeLabelTest,
    ::testing::Values(LabelCase{532, 20}, LabelCase{532, 60}, LabelCase{532, 600}, LabelCase{532, 3600 * 6},
                      LabelCase{532, 86400 * 3}, LabelCase{532, 86400 * 91}, LabelCase{532, 86400 * 800},
                      LabelCase{300, 20}, LabelCase{300, 86400 * 1.5}, LabelCase{400, 86400 * 91},
                      LabelCase{1400, 20}, LabelCase{1400, 86400 * 91}, LabelCase{1400, 86400 * 3}));

// A value axis's title runs along its pane: when the pane is too short for it the
// unit alone is shown, never a title cut off at the pane's ends.
TEST(ChartAxisTitles, fallBackToTheirUnitWhenThePaneIsTooShort)
{
    const QString titles[] = {QStringLiteral("HUMIDITY (%RH)"), QStringLiteral("TEMPERATURE (\u00b0C)")};
    const QString units[] = {QStringLiteral("%RH"), QStringLiteral("\u00b0C")};
    MeterChart chart;
    setUpTwoPanes(chart, 640, 480);
    for (const int height : {160, 240, 360, 480, 900}) {
        SCOPED_TRACE(height);
        chart.resize(640, height);
        chart.Refresh();
        for (int axis = 0; axis < 2; ++axis) {
            const QCPAxisRect *pane = chart.graphOf(axis)->keyAxis()->axisRect();
            const QCPAxis *y = pane->axis(QCPAxis::atLeft);
            const bool fits = QFontMetrics(y->labelFont()).horizontalAdvance(titles[axis]) <= pane->height();
            EXPECT_EQ(y->label(), fits ? titles[axis] : units[axis]);
        }
    }
    // A title without a unit in brackets, or a unit that does not fit either,
    // is cut short with an ellipsis rather than run into the next pane.
    const QFontMetrics metrics{QFont()};
    for (const QString &title : {QStringLiteral("TEMPERATURE"), QStringLiteral("HUMIDITY (%RH)")}) {
        const QString fitted = fittedAxisTitle(title, 30, metrics);
        EXPECT_LE(metrics.horizontalAdvance(fitted), 30) << fitted.toStdString();
    }
    EXPECT_TRUE(fittedAxisTitle(QStringLiteral("TEMPERATURE"), 60, metrics).endsWith(QChar(0x2026)));
}

// A pane as short as a small screen gives it, or as tall as a large one:
// value labels never print on top of each other, and at least two show.
TEST(ChartAxisLabels, ValueLabelsNeverOverlapWhateverThePanesHeight)
{
    MeterChart chart;
    setUpTwoPanes(chart, 640, 480);
    chart.SetWorkingAxis(0);
    chart.SetYMin(0);
    chart.SetYMax(110);
    for (int height = 120; height <= 800; height += 20) {
        SCOPED_TRACE(height);
        chart.resize(640, height);
        chart.Refresh();
        for (int axis = 0; axis < 2; ++axis) {
            const QCPAxis *y = chart.graphOf(axis)->keyAxis()->axisRect()->axis(QCPAxis::atLeft);
            const double line = QFontMetricsF(y->tickLabelFont()).height();
            std::vector<double> pixels;
            for (const double tick : y->tickVector()) {
                if (y->range().contains(tick))
                    pixels.push_back(y->coordToPixel(tick));
            }
            ASSERT_GE(pixels.size(), 2u) << "pane " << axis;
            for (std::size_t i = 1; i < pixels.size(); ++i)
                EXPECT_GE(std::abs(pixels[i] - pixels[i - 1]), line + 2) << "pane " << axis;
        }
    }
}

// Axis labels follow the tables' number rules in every language: ASCII digits
// and minus, the language's decimal separator, no digit groups; dates in the
// language's order with ASCII digits.
TEST(ChartAxisLabels, UseAsciiDigitsAndMinusInEveryLanguage)
{
    const QLocale before;
    for (const QLocale &locale : {QLocale(QLocale::Arabic, QLocale::Egypt), QLocale(QLocale::Swedish, QLocale::Sweden),
                                  QLocale(QLocale::German, QLocale::Germany), QLocale::c()}) {
        SCOPED_TRACE(locale.name().toStdString());
        QLocale::setDefault(locale); // the chart takes the user's language when it is made
        MeterChart chart;
        setUpTwoPanes(chart, 640, 480);
        chart.SetWorkingAxis(1);
        chart.SetYMin(-21.0);
        chart.SetYMax(-19.0); // fine steps: labels with decimals
        chart.SetXMin(Noon);
        chart.SetXMax(Noon + 3.0); // date above time
        chart.Refresh();
        const QString point = locale.decimalPoint();
        QStringList values;
        for (int axis = 0; axis < 2; ++axis) {
            const QCPAxisRect *pane = chart.graphOf(axis)->keyAxis()->axisRect();
            values += pane->axis(QCPAxis::atLeft)->tickVectorLabels().toList();
        }
        ASSERT_FALSE(values.isEmpty());
        const QRegularExpression number(QStringLiteral("^-?[0-9]+(%1[0-9]+)?$").arg(QRegularExpression::escape(point)));
        for (const QString &label : values)
            EXPECT_TRUE(number.match(label).hasMatch()) << label.toStdString();
        EXPECT_TRUE(values.contains(QStringLiteral("-20"))) << values.join(' ').toStdString();
        EXPECT_TRUE(values.contains(QStringLiteral("-20") + point + QStringLiteral("5"))) << values.join(QLatin1Char(' ')).toStdString();

        const QStringList times = chart.graphOf(1)->keyAxis()->tickVectorLabels().toList();
        ASSERT_FALSE(times.isEmpty());
        for (const QString &label : times) {
            EXPECT_TRUE(label.contains(QStringLiteral("12:00:00")) || label.contains(QStringLiteral("00:00:00")))
                << label.toStdString();
            for (const QChar c : label)
                EXPECT_FALSE(c.isDigit() && c.unicode() > 0x7F) << label.toStdString();
        }
    }
    QLocale::setDefault(before);
}

TEST(PageHeading, FitsItsPageWholeOrAPartALine)
{
    const QFontMetrics metrics(QFont(QStringLiteral("DejaVu Sans"), 10, QFont::Bold));
    const QString caption = QStringLiteral("Graph of /home/user/Documents/greenhouse/november.csv");
    const QString span = QStringLiteral("30 Nov 2026 22:00:00 to 1 Dec 2026 02:55:00");
    const QString text = caption + kHeadingSeparator + span + kHeadingSeparator + QStringLiteral("Meter 580");
    const int whole = metrics.horizontalAdvance(text);
    const int longest = metrics.horizontalAdvance(caption);
    struct Case {
        int width;
        int lines;
    };
    const Case cases[] = {{whole + 10, 1}, {whole - 10, 3}, {longest + 5, 3}, {longest / 2, 3}};
    for (const Case &c : cases) {
        const QStringList lines = fittedHeading(text, metrics, c.width).split(QLatin1Char('\n'));
        EXPECT_EQ(lines.size(), c.lines) << c.width;
        for (const QString &line : lines)
            EXPECT_LE(metrics.horizontalAdvance(line), c.width) << line.toStdString();
        // A part cut short keeps both its ends.
        if (c.lines > 1) {
            EXPECT_TRUE(lines.front().startsWith(QStringLiteral("Graph")) && lines.front().endsWith(QStringLiteral("csv")))
                << lines.front().toStdString();
        }
    }
}
