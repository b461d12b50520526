#include "core/timeline.h"
#include "tests/test_classes.h"

#include <QTest>

using namespace cassonic;

namespace {

// The encoder's report as it ends a successful run.
const QString kReport = QStringLiteral(
    "\nEnd of process ! Estimated loading time 0:22 min (21.8 sec)\n"
    "Timeline:\n"
    "   start   length  kind    name\n"
    "   0.000    9.120  loader  LOADER\n"
    "   9.120    0.010  pause\n"
    "   9.130   12.400  file    games/GAME.ROM\n"
    "  21.530    0.010  pause\n"
    "  21.540    0.227  tone\n");

const QString kRows = kReport.mid(kReport.indexOf("Timeline:\n") + 10);

TapeSegment seg(double start, double length, TapeSegment::Kind kind, const QString& name = {})
{
    return TapeSegment{start, length, kind, name};
}

Timeline sample()
{
    return Timeline{{seg(0, 9.12, TapeSegment::Loader, "LOADER"), seg(9.12, 0.01, TapeSegment::Pause),
                     seg(9.13, 12.4, TapeSegment::File, "games/GAME.ROM"), seg(21.53, 0.01, TapeSegment::Pause),
                     seg(21.54, 0.227, TapeSegment::Tone)}};
}

}  // namespace

void TimelineTest::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("segments");
    QTest::addColumn<QString>("lastName");

    const QString head = "   start   length  kind    name\n";
    QTest::newRow("the encoder's report") << kRows << true << 5 << "";
    QTest::newRow("line ends with CR") << QString(kRows).replace("\n", "\r\n") << true << 5 << "";
    QTest::newRow("names with blanks and parts")
        << head + "   0.000    1.500  file    my games/BIG.COM (part 1)\n"
                  "   1.500    2.000  file    my games/BIG.COM (part 2)\n"
        << true << 2 << "my games/BIG.COM (part 2)";
    QTest::newRow("rounding at the joins") << head + "   0.000    0.333  file    a\n   0.334    0.100  pause\n"
                                           << true << 2 << "";
    QTest::newRow("a gap") << head + "   0.000    1.000  file    a\n   1.100    1.000  pause\n" << false << 0 << "";
    QTest::newRow("not from zero") << head + "   1.000    1.000  file    a\n" << false << 0 << "";
    QTest::newRow("a file without a name") << head + "   0.000    1.000  file\n" << false << 0 << "";
    QTest::newRow("a pause with a name") << head + "   0.000    1.000  pause   a\n" << false << 0 << "";
    QTest::newRow("an unknown kind") << head + "   0.000    1.000  gap\n" << false << 0 << "";
    QTest::newRow("no heading") << "   0.000    1.000  file    a\n" << false << 0 << "";
    QTest::newRow("no segment") << head << false << 0 << "";
}

void TimelineTest::parse()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const std::optional<Timeline> t = ParseTimeline(text);
    QCOMPARE(t.has_value(), valid);
    if (!t)
        return;
    QTEST(int(t->segments.size()), "segments");
    if (text == kRows) {
        QCOMPARE(*t, sample());
        QCOMPARE(t->total(), 21.767);
    } else {
        QTEST(t->segments.last().name, "lastName");
    }
}

void TimelineTest::filterAtEverySplit()
{
    // However the output is cut into chunks, the pane gets the same text
    // and the timeline none of it.
    const QString output = "Converting:  \"GAME\"\t(ROM)... done.\nTi" + kReport;
    const QString shown = output.left(output.indexOf("Timeline:\n"));
    for (qsizetype a = 0; a <= output.size(); ++a) {
        for (qsizetype b = a; b <= output.size(); b += 7) {
            TimelineFilter f;
            QString pane = f.feed(output.left(a));
            pane += f.feed(output.mid(a, b - a));
            pane += f.feed(output.mid(b));
            pane += f.finish();
            QCOMPARE(pane, shown);
            QCOMPARE(f.timelineText(), kRows);
        }
    }
}

void TimelineTest::filterPassesOtherText()
{
    TimelineFilter f;
    QCOMPARE(f.feed("Time of pause: 1000 ms\nTimeline"), "Time of pause: 1000 ms\n");
    QCOMPARE(f.feed("s: 3\n"), "Timelines: 3\n");
    QCOMPARE(f.feed("Timeline:"), "");
    QCOMPARE(f.finish(), "Timeline:");  // never completed: it was text
    QVERIFY(!f.sawTimeline());
}

void TimelineTest::nowPlaying_data()
{
    QTest::addColumn<double>("at");
    QTest::addColumn<QString>("text");

    QTest::newRow("start") << 0.0 << "Now loading LOADER \u2014 0:10 left";
    QTest::newRow("in the pause, the file next") << 9.125 << "Now loading GAME.ROM \u2014 0:13 left";
    QTest::newRow("in the file") << 9.53 << "Now loading GAME.ROM \u2014 0:12 left";
    QTest::newRow("last moment of the file") << 21.5 << "Now loading GAME.ROM \u2014 0:01 left";
    QTest::newRow("closing tone") << 21.6 << "End of tape \u2014 0:01 left";
    QTest::newRow("past the end") << 30.0 << "End of tape \u2014 0:00 left";
}

void TimelineTest::nowPlaying()
{
    QFETCH(double, at);
    QTEST(NowPlayingText(sample(), at), "text");
}

void TimelineTest::strip()
{
    const Timeline t = sample();
    // Blocks meet and fill the width; the 10 ms pauses get a pixel or none.
    const QList<StripBlock> blocks = StripLayout(t, 400);
    QCOMPARE(blocks.first().left, 0);
    QCOMPARE(blocks.last().right, 400);
    for (qsizetype i = 1; i < blocks.size(); ++i)
        QCOMPARE(blocks[i].left, blocks[i - 1].right);
    QCOMPARE(blocks[0], (StripBlock{0, 0, 168}));   // 9.12 / 21.767 of 400
    QCOMPARE(blocks[1], (StripBlock{2, 168, 396}));  // the pause rounds to nothing
    QCOMPARE(StripLayout(t, 0).size(), 0);
    QCOMPARE(StripLayout(Timeline{}, 400).size(), 0);

    QCOMPARE(StripPixel(t, 400, 0), 0);
    QCOMPARE(StripPixel(t, 400, 9.13), 167);
    QCOMPARE(StripPixel(t, 400, 100), 399);
    QCOMPARE(MinutesSeconds(59.2), "1:00");
    QCOMPARE(MinutesSeconds(125), "2:05");
}
