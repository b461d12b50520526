// Runs the test classes of the front-end's core one after another.

#include <QCoreApplication>
#include <QTest>

#include "tests/test_classes.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int failures = 0;
    {
        RulesTest t;
        failures += QTest::qExec(&t, argc, argv);
    }
    {
        EncoderCommandTest t;
        failures += QTest::qExec(&t, argc, argv);
    }
    {
        TimelineTest t;
        failures += QTest::qExec(&t, argc, argv);
    }
    {
        ResultsTest t;
        failures += QTest::qExec(&t, argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
