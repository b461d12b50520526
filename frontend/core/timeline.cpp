#include "core/timeline.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace cassonic {

namespace {

const QString kTimelineLine = QStringLiteral("Timeline:");

// Start and end of adjacent segments are each rounded to the millisecond,
// so a sum may be off by one in the last place.
constexpr double kJoinTolerance = 0.0015;

}  // namespace

std::optional<Timeline> ParseTimeline(const QString& text)
{
    static const QRegularExpression heading(QStringLiteral(R"(^\s*start\s+length\s+kind\s+name\s*$)"));
    static const QRegularExpression row(
        QStringLiteral(R"(^\s*(\d+\.\d{3})\s+(\d+\.\d{3})\s+(loader|file|pause|tone)(?:\s+(\S.*?))?\s*$)"));

    Timeline timeline;
    bool headingSeen = false;
    for (QString line : text.split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        if (!headingSeen) {
            if (!heading.match(line).hasMatch())
                return std::nullopt;
            headingSeen = true;
            continue;
        }
        const QRegularExpressionMatch m = row.match(line);
        if (!m.hasMatch())
            return std::nullopt;
        TapeSegment s;
        s.start = m.captured(1).toDouble();
        s.length = m.captured(2).toDouble();
        const QString kind = m.captured(3);
        s.kind = kind == u"loader" ? TapeSegment::Loader
               : kind == u"file"   ? TapeSegment::File
               : kind == u"pause"  ? TapeSegment::Pause
                                   : TapeSegment::Tone;
        s.name = m.captured(4);
        const bool named = s.kind == TapeSegment::Loader || s.kind == TapeSegment::File;
        if (named == s.name.isEmpty())
            return std::nullopt;
        if (std::abs(s.start - timeline.total()) > kJoinTolerance)
            return std::nullopt;
        timeline.segments << s;
    }
    if (timeline.segments.isEmpty())
        return std::nullopt;
    return timeline;
}

QString TimelineFilter::feed(const QString& chunk)
{
    if (inTimeline_) {
        timeline_ += chunk;
        return {};
    }
    QString shown;
    QString text = pending_ + chunk;
    pending_.clear();
    qsizetype lineStart = 0;
    while (lineStart < text.size()) {
        const qsizetype end = text.indexOf(u'\n', lineStart);
        QString line = text.mid(lineStart, end < 0 ? -1 : end - lineStart);
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (end >= 0 && line == kTimelineLine) {
            inTimeline_ = true;
            timeline_ = text.mid(end + 1);
            return shown;
        }
        if (end < 0) {
            // An unfinished line: held back while it can still become the
            // timeline's first line.
            if (kTimelineLine.startsWith(line))
                pending_ = text.mid(lineStart);
            else
                shown += text.mid(lineStart);
            return shown;
        }
        shown += text.mid(lineStart, end + 1 - lineStart);
        lineStart = end + 1;
    }
    return shown;
}

QString TimelineFilter::finish()
{
    QString rest;
    std::swap(rest, pending_);
    return rest;
}

QString SegmentLabel(const TapeSegment& segment)
{
    static const QRegularExpression part(QStringLiteral(R"(^(.*?)( \(part \d+\))$)"));
    const QRegularExpressionMatch m = part.match(segment.name);
    const QString path = m.hasMatch() ? m.captured(1) : segment.name;
    const QString suffix = m.hasMatch() ? m.captured(2) : QString();
    QString name = QFileInfo(path).fileName();
    if (name.isEmpty())
        name = path;
    return name + suffix;
}

QString MinutesSeconds(double seconds)
{
    const long whole = std::max(0L, long(std::ceil(seconds - 1e-9)));
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QChar(u'0'));
}

QString NowPlayingText(const Timeline& timeline, double position)
{
    const QList<TapeSegment>& segs = timeline.segments;
    qsizetype at = 0;
    while (at < segs.size() && position >= segs[at].start + segs[at].length)
        ++at;
    for (qsizetype i = at; i < segs.size(); ++i) {
        const TapeSegment& s = segs[i];
        if (s.kind == TapeSegment::Loader || s.kind == TapeSegment::File)
            return QStringLiteral("Now loading %1 \u2014 %2 left")
                .arg(SegmentLabel(s), MinutesSeconds(s.start + s.length - position));
    }
    return QStringLiteral("End of tape \u2014 %1 left").arg(MinutesSeconds(timeline.total() - position));
}

QList<StripBlock> StripLayout(const Timeline& timeline, int width)
{
    QList<StripBlock> blocks;
    const double total = timeline.total();
    if (total <= 0 || width <= 0)
        return blocks;
    auto edge = [&](double t) { return int(std::lround(std::clamp(t / total, 0.0, 1.0) * width)); };
    for (qsizetype i = 0; i < timeline.segments.size(); ++i) {
        const TapeSegment& s = timeline.segments[i];
        const int left = edge(s.start);
        const int right = i + 1 == timeline.segments.size() ? width : edge(s.start + s.length);
        if (right > left)
            blocks << StripBlock{int(i), left, right};
    }
    return blocks;
}

int StripPixel(const Timeline& timeline, int width, double position)
{
    const double total = timeline.total();
    if (total <= 0 || width <= 0)
        return 0;
    return std::clamp(int(std::floor(position / total * width)), 0, width - 1);
}

}  // namespace cassonic
