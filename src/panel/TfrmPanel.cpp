// SPDX-License-Identifier: GPL-3.0-or-later
// The panel window's set-up and the thin layer that applies PanelChanges to
// its labels; every decision about what to show is made in LcdPaint.
#include "panel/TfrmPanel.h"

#include "panel/LcdArt.h"
#include "panel/PanelKeyArea.h"
#include "panel/PanelKeys.h"
#include "panel/PanelLayout.h"
#include "panel/PanelScale.h"
#include "panel/PlainBody.h"

#include "meter/ConnectionText.h"

#include <QImage>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QMdiArea>
#include <QDir>
#include <QFileInfo>
#include <QMdiSubWindow>

#include <algorithm>
#include <cmath>

namespace vandrel {

namespace {

QLabel *placeLabel(QWidget *parent, const PanelElement &e)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(e.name));
    label->setGeometry(e.left, e.top, e.width, e.height);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Elements draw only their own pixels; the LCD window of the body picture shows through.
    label->setAttribute(Qt::WA_TranslucentBackground);
    return label;
}

// A picture drawn for `ratio` device pixels per pixel, shown at its size in pixels.
QPixmap shownPixmap(const QImage &image, qreal ratio)
{
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

// The colour around the body picture; the picture's own corners use it too.
const QColor WindowBackground(0x3a, 0x3f, 0x46);

} // namespace

TfrmPanel::TfrmPanel(LcdState &state, QWidget *parent)
    : QWidget(parent), state_(state)
{
    setWindowTitle(QStringLiteral("Panel"));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, WindowBackground);
    setPalette(pal);
    setAutoFillBackground(true);

    body_ = plainBodyPicture();
    bodyLarge_ = plainBodyPicture(2);
    createElements();
    applyScale();
    FormShow();
}

void TfrmPanel::createElements()
{
    Image1 = placeLabel(this, BackgroundElement);

    for (int i = 0; i < GlyphPositionCount; ++i)
        glyphs_[static_cast<std::size_t>(i)] = placeLabel(this, GlyphElements[static_cast<std::size_t>(i)]);
    for (int bit = FirstIconBit; bit <= LastIconBit; ++bit) {
        QLabel *icon = placeLabel(this, IconElements[static_cast<std::size_t>(bit)]);
        icon->hide();
        icons_[static_cast<std::size_t>(bit)] = icon;
    }

    lblnolink = placeLabel(this, NoLinkElement);
    lblnolink->setText(noConnectionText());
    lblnolink->setAlignment(Qt::AlignCenter);
    // The label lies over the icon row; an LCD-coloured ground keeps it readable.
    lblnolink->setAttribute(Qt::WA_TranslucentBackground, false);
    lblnolink->setAttribute(Qt::WA_NoSystemBackground, false);
    QPalette pal = lblnolink->palette();
    pal.setColor(QPalette::WindowText, QColor(0xd0, 0x10, 0x10));
    pal.setColor(QPalette::Window, LcdArt::lcdBackgroundTop());
    lblnolink->setPalette(pal);
    lblnolink->setAutoFillBackground(true);
    lblnolink->hide();

    // Key areas last, so they lie on top of everything and get every click.
    for (int k = 0; k < PanelKeyCount; ++k) {
        const PanelElement &e = KeyElements[static_cast<std::size_t>(k)];
        auto *area = new PanelKeyArea(k, this);
        area->setObjectName(QString::fromLatin1(e.name));
        area->setGeometry(e.left, e.top, e.width, e.height);
        connect(area, &PanelKeyArea::pressed, this, &TfrmPanel::keyPressed);
        connect(area, &PanelKeyArea::released, this, &TfrmPanel::keyReleased);
        connect(area, &PanelKeyArea::clicked, this, &TfrmPanel::keyClicked);
        keys_[static_cast<std::size_t>(k)] = area;
    }
    connect(keys_[static_cast<std::size_t>(PanelKey::Close)], &PanelKeyArea::clicked, this,
            &TfrmPanel::label1Clicked);
}

TfrmPanel::~TfrmPanel() = default;

void TfrmPanel::setScale(int percent)
{
    percent_ = panelPercentOrDefault(percent);
    applyScale();
    // The child window follows the panel's new size.
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget())) {
        sub->setMinimumSize(0, 0);
        sub->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        sub->setFixedSize(sub->sizeHint());
    }
}

// Every element where the layout puts it at the current size, with its
// picture drawn for that size (and the screen's pixel ratio); the digits show
// what was drawn last.
void TfrmPanel::applyScale()
{
    setFixedSize(scaledSize(QSize(PanelClientWidth, PanelClientHeight), percent_));
    const qreal ratio = devicePixelRatioF();
    const int drawn = static_cast<int>(std::lround(percent_ * ratio));
    if (!art_ || artPercent_ != drawn) {
        art_ = std::make_unique<LcdArt>(drawn);
        artPercent_ = drawn;
    }
    const LcdArt &art = *art_;
    for (int code = 0; code < glyph::Count; ++code) {
        const auto i = static_cast<std::size_t>(code);
        mainPixmaps_[i] = shownPixmap(art.glyph(GlyphSet::Main, code), ratio);
        smallPixmaps_[i] = shownPixmap(art.glyph(GlyphSet::Small, code), ratio);
    }
    for (int i = 0; i < GlyphPositionCount; ++i) {
        const auto at = static_cast<std::size_t>(i);
        glyphs_[at]->setGeometry(scaledRect(GlyphElements[at], percent_));
        const auto code = static_cast<std::size_t>(std::clamp(state_.DrawnCodes[at], 0, 15));
        glyphs_[at]->setPixmap(i < 4 ? mainPixmaps_[code] : smallPixmaps_[code]);
    }
    for (int bit = FirstIconBit; bit <= LastIconBit; ++bit) {
        const auto at = static_cast<std::size_t>(bit);
        icons_[at]->setGeometry(scaledRect(IconElements[at], percent_));
        icons_[at]->setPixmap(shownPixmap(art.icon(bit), ratio));
    }
    lblnolink->setGeometry(scaledRect(NoLinkElement, percent_));
    QFont font = lblnolink->font();
    font.setBold(true);
    font.setPixelSize(scaledEdge(12, percent_));
    lblnolink->setFont(font);
    for (int k = 0; k < PanelKeyCount; ++k)
        keys_[static_cast<std::size_t>(k)]->setGeometry(scaledRect(KeyElements[static_cast<std::size_t>(k)], percent_));
    showBody();
}

void TfrmPanel::showBody()
{
    const PanelElement at{"Image1", BackgroundElement.left, BackgroundElement.top, body_.width(), body_.height()};
    const QRect place = scaledRect(at, percent_);
    Image1->setGeometry(place);
    // Larger sizes come from the picture drawn twice as large, brought down
    // where needed; only a picture that has none is enlarged.
    const qreal ratio = devicePixelRatioF();
    const QSize device = (QSizeF(place.size()) * ratio).toSize();
    const QImage &source = device.width() > body_.width() && !bodyLarge_.isNull() ? bodyLarge_ : body_;
    Image1->setPixmap(shownPixmap(source.size() == device ? source
                                                          : source.scaled(device, Qt::IgnoreAspectRatio,
                                                                          Qt::SmoothTransformation),
                                  ratio));
}

QMdiSubWindow *TfrmPanel::showIn(QMdiArea &area)
{
    QMdiSubWindow *sub = area.addSubWindow(this, Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                                                     | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowTitle(windowTitle());
    sub->show();
    // The client area stays exactly the panel's size: the window is not resized.
    sub->setFixedSize(sub->sizeHint());
    sub->move(0, 0);
    return sub;
}

void TfrmPanel::FormShow()
{
    ResetForShow(state_);
    PaintPanel();
}

void TfrmPanel::PaintPanel()
{
    applyChanges(PlanPaint(state_));
}

void TfrmPanel::BlinkStep(bool meterConnected, const MeterReading &reading)
{
    applyChanges(vandrel::BlinkStep(state_, meterConnected, reading.RecBlink, reading.ClockMode));
}

void TfrmPanel::DPTimerTimer()
{
    applyChanges(DpBlinkStep(state_));
}

void TfrmPanel::showTemperatureLegends()
{
    applyChanges(ShowTemperatureLegends(state_));
}

void TfrmPanel::stopMaxMinDisplay()
{
    applyChanges(StopMaxMinDisplay(state_));
}

void TfrmPanel::applyChanges(const PanelChanges &changes)
{
    for (int bit = FirstIconBit; bit <= LastIconBit; ++bit) {
        if (changes.iconMask & iconBit(bit))
            icons_[static_cast<std::size_t>(bit)]->setVisible((changes.iconValues & iconBit(bit)) != 0);
    }
    for (int i = 0; i < GlyphPositionCount; ++i) {
        if (!(changes.glyphMask & (1u << i)))
            continue;
        const auto code = static_cast<std::size_t>(std::clamp(state_.DrawnCodes[static_cast<std::size_t>(i)], 0, 15));
        glyphs_[static_cast<std::size_t>(i)]->setPixmap(i < 4 ? mainPixmaps_[code] : smallPixmaps_[code]);
    }
    lastTouchCount_ = changes.touchCount();
}

bool TfrmPanel::setBackground(const QString &file)
{
    QImage picture;
    if (!file.isEmpty())
        picture.load(file);
    const bool loaded = !picture.isNull();
    // Without a picture the panel would show dark digits on a dark window and
    // keys nobody can find: the plain glass and key outlines stand in. The
    // picture sets the size of its element, like the body it shows.
    body_ = loaded ? picture : plainBodyPicture();
    // Beside a body picture, the same drawn twice as large ("PANEL580@2x.png").
    bodyLarge_ = QImage();
    if (loaded) {
        const QFileInfo info(file);
        bodyLarge_.load(info.dir().filePath(info.completeBaseName() + QStringLiteral("@2x.png")));
        if (!bodyLarge_.isNull() && bodyLarge_.size() != body_.size() * 2)
            bodyLarge_ = QImage(); // not the same picture drawn larger
    } else {
        bodyLarge_ = plainBodyPicture(2);
    }
    showBody();
    return loaded;
}

void TfrmPanel::setNoLinkVisible(bool visible)
{
    lblnolink->setVisible(visible);
    // The last reading stays on the glass, faded, so it cannot pass for a
    // current one while the meter is away.
    const auto fade = [visible](QLabel *label) {
        if (!visible) {
            label->setGraphicsEffect(nullptr);
            return;
        }
        auto *effect = new QGraphicsOpacityEffect(label);
        effect->setOpacity(0.3);
        label->setGraphicsEffect(effect);
    };
    for (QLabel *glyph : glyphs_)
        fade(glyph);
    for (int bit = FirstIconBit; bit <= LastIconBit; ++bit)
        fade(icons_[static_cast<std::size_t>(bit)]);
}

void TfrmPanel::label1Clicked()
{
    emit closeRequested();
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->close();
    else
        close();
}

} // namespace vandrel
