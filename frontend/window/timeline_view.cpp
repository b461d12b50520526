#include "window/timeline_view.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace cassonic {

namespace {

constexpr int kStripHeight = 28;
constexpr int kGap = 6;  // between the strip and the total

QString seconds(double s) { return QStringLiteral("%1 s").arg(s, 0, 'f', 1); }

QColor blockColor(const TapeSegment& s, int fileNumber)
{
    switch (s.kind) {
    case TapeSegment::Loader: return QColor(0x3d, 0x6e, 0xb4);
    case TapeSegment::File: return fileNumber % 2 == 0 ? QColor(0x4c, 0x9a, 0x52) : QColor(0xc9, 0x7b, 0x2a);
    case TapeSegment::Pause: return QColor(0xdd, 0xdd, 0xdd);
    case TapeSegment::Tone: return QColor(0xa6, 0xa6, 0xa6);
    }
    return Qt::gray;
}

QString blockName(const TapeSegment& s)
{
    switch (s.kind) {
    case TapeSegment::Pause: return QStringLiteral("pause");
    case TapeSegment::Tone: return QStringLiteral("tone");
    default: return SegmentLabel(s);
    }
}

}  // namespace

TimelineView::TimelineView(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TimelineView::setTimeline(const std::optional<Timeline>& timeline)
{
    timeline_ = timeline;
    cursor_.reset();
    update();
}

void TimelineView::setCursorPosition(std::optional<double> seconds)
{
    if (cursor_ == seconds)
        return;
    cursor_ = seconds;
    update();
}

void TimelineView::setPlaceholder(const QString& text)
{
    placeholder_ = text;
    update();
}

QString TimelineView::totalText() const
{
    if (!timeline_)
        return {};
    return QStringLiteral("Total %1").arg(MinutesSeconds(timeline_->total()));
}

QRect TimelineView::stripRect() const
{
    const int totalWidth = timeline_ ? fontMetrics().horizontalAdvance(totalText()) + kGap : 0;
    const int top = (height() - kStripHeight) / 2;
    return QRect(0, top, std::max(0, width() - totalWidth), kStripHeight);
}

QString TimelineView::blockText(int segment, int width) const
{
    const TapeSegment& s = timeline_->segments[segment];
    const QFontMetrics fm = fontMetrics();
    const int room = width - 4;
    for (const QString& text : {blockName(s) + u' ' + seconds(s.length), blockName(s), seconds(s.length)})
        if (fm.horizontalAdvance(text) <= room)
            return text;
    return {};
}

QSize TimelineView::sizeHint() const { return QSize(400, kStripHeight + 4); }

QSize TimelineView::minimumSizeHint() const { return QSize(100, kStripHeight + 4); }

void TimelineView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect strip = stripRect();
    if (!timeline_) {
        p.setPen(palette().color(QPalette::Disabled, QPalette::WindowText));
        p.drawRect(strip.adjusted(0, 0, -1, -1));
        p.drawText(strip, Qt::AlignCenter, placeholder_);
        return;
    }
    int fileNumber = 0;
    for (const StripBlock& b : StripLayout(*timeline_, strip.width())) {
        const TapeSegment& s = timeline_->segments[b.segment];
        const QRect r(strip.left() + b.left, strip.top(), b.right - b.left, strip.height());
        const QColor color = blockColor(s, fileNumber);
        if (s.kind == TapeSegment::File)
            ++fileNumber;
        p.fillRect(r, color);
        p.setPen(color.lightness() < 140 ? Qt::white : Qt::black);
        p.drawText(r, Qt::AlignCenter, blockText(b.segment, r.width()));
    }
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(QRect(strip.right() + kGap, 0, width() - strip.right() - kGap, height()),
               Qt::AlignVCenter | Qt::AlignLeft, totalText());
    if (cursor_) {
        const int x = strip.left() + StripPixel(*timeline_, strip.width(), *cursor_);
        p.fillRect(QRect(x - 1, strip.top() - 2, 3, strip.height() + 4), QColor(0xd0, 0x10, 0x10));
    }
}

bool TimelineView::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip || !timeline_)
        return QWidget::event(event);
    auto* help = static_cast<QHelpEvent*>(event);
    const QRect strip = stripRect();
    for (const StripBlock& b : StripLayout(*timeline_, strip.width())) {
        if (help->pos().x() < strip.left() + b.left || help->pos().x() >= strip.left() + b.right)
            continue;
        const TapeSegment& s = timeline_->segments[b.segment];
        QToolTip::showText(help->globalPos(),
                           QStringLiteral("%1: %2 from %3 to %4")
                               .arg(s.kind == TapeSegment::Pause || s.kind == TapeSegment::Tone ? blockName(s)
                                                                                                : s.name,
                                    seconds(s.length), seconds(s.start), seconds(s.start + s.length)),
                           this);
        return true;
    }
    QToolTip::showText(help->globalPos(), totalText(), this);
    return true;
}

}  // namespace cassonic
