#pragma once
// The tape's timeline as one strip: a block per loader, file, pause and
// tone, each as wide as its share of the playing time, labelled with its
// name and seconds where there is room (always in its tooltip), the total
// at the right end, and a cursor while the tape plays.

#include "core/timeline.h"

#include <QWidget>

#include <optional>

namespace cassonic {

class TimelineView : public QWidget {
    Q_OBJECT
public:
    explicit TimelineView(QWidget* parent = nullptr);

    void setTimeline(const std::optional<Timeline>& timeline);
    const std::optional<Timeline>& timeline() const { return timeline_; }
    // The cursor's place in seconds; none hides it.
    void setCursorPosition(std::optional<double> seconds);
    std::optional<double> cursorPosition() const { return cursor_; }
    // Shown in place of the strip when there is no timeline.
    void setPlaceholder(const QString& text);
    QString placeholder() const { return placeholder_; }

    // The strip's area within the widget, and the label each block shows
    // (empty when it does not fit).
    QRect stripRect() const;
    QString blockText(int segment, int width) const;
    QString totalText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    std::optional<Timeline> timeline_;
    std::optional<double> cursor_;
    QString placeholder_;
};

}  // namespace cassonic
