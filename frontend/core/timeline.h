#pragma once
// The tape's timeline as the encoder reports it after a run with
// "-timeline", and what the window makes of it: the strip's blocks, and
// what is loading at a moment of playback.

#include <QList>
#include <QString>

#include <optional>

namespace cassonic {

struct TapeSegment {
    enum Kind { Loader, File, Pause, Tone };
    double start = 0;   // seconds from the start of the WAV
    double length = 0;  // seconds
    Kind kind = Pause;
    QString name;       // loader and file: the argument, maybe with " (part N)"
    bool operator==(const TapeSegment&) const = default;
};

struct Timeline {
    QList<TapeSegment> segments;  // in playing order, without gaps
    double total() const { return segments.isEmpty() ? 0 : segments.last().start + segments.last().length; }
    bool operator==(const Timeline&) const = default;
};

// Reads the lines after "Timeline:" (the heading line and one line per
// segment).  Anything else, a segment that does not start where the one
// before it ends (to the millisecond), or no segment at all gives nothing.
std::optional<Timeline> ParseTimeline(const QString& text);

// Keeps the encoder's timeline out of the output pane: text goes through
// until a line that reads "Timeline:", and from there on is held as the
// timeline's text.  A line that might still turn into that one is held
// back until it is complete.
class TimelineFilter {
public:
    // The part of `chunk` to show now.
    QString feed(const QString& chunk);
    // At the end of the run: whatever was held back and is no timeline.
    QString finish();
    QString timelineText() const { return timeline_; }
    bool sawTimeline() const { return inTimeline_; }

private:
    QString pending_;   // the start of a line that may become "Timeline:"
    QString timeline_;
    bool inTimeline_ = false;
};

// The name a segment shows: the file's name without its folders, the part
// kept ("GAME.ROM", "BIG.COM (part 2)").
QString SegmentLabel(const TapeSegment& segment);

// "m:ss", seconds rounded up (a countdown shows 0:00 only at its end).
QString MinutesSeconds(double seconds);

// What a listener hears at `position`: "Now loading GAME.ROM — 0:12 left",
// the time left until that block ends.  In a pause or tone the next loader
// or file is named; after the last one, the tape's end is.
QString NowPlayingText(const Timeline& timeline, double position);

// One block of the strip: [left, right) in pixels of a strip `width` wide.
struct StripBlock {
    int segment;  // index into the timeline
    int left;
    int right;
    bool operator==(const StripBlock&) const = default;
};

// The strip's blocks, each as wide as its share of the playing time, edges
// rounded to whole pixels so that they meet without gaps and fill `width`
// exactly.  Segments that round to no pixel get none.
QList<StripBlock> StripLayout(const Timeline& timeline, int width);

// The pixel of the strip at `position` seconds, within [0, width - 1].
int StripPixel(const Timeline& timeline, int width, double position);

}  // namespace cassonic
