#include "core/command_line.h"
#include "tests/test_classes.h"

#include <QTest>

using cassonic::SplitCommandLine;

void CommandLineTest::splits_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("args");

    QTest::newRow("blanks separate") << "prog a  b\tc " << QStringList{"prog", "a", "b", "c"};
    QTest::newRow("leading blanks") << "   prog" << QStringList{"prog"};
    QTest::newRow("nothing") << "  \t " << QStringList{};
    QTest::newRow("quotes group") << R"(prog "a b" c)" << QStringList{"prog", "a b", "c"};
    QTest::newRow("quotes inside a word") << R"(prog a"b c"d)" << QStringList{"prog", "ab cd"};
    QTest::newRow("empty quoted argument") << R"(prog -o "" x)" << QStringList{"prog", "-o", "", "x"};
    QTest::newRow("unterminated quote") << R"(prog "a b)" << QStringList{"prog", "a b"};
    QTest::newRow("quoted program") << R"("C:\Program Files\t.exe" -cd)"
                                    << QStringList{R"(C:\Program Files\t.exe)", "-cd"};
    QTest::newRow("program takes no escapes") << R"("c:\dir\" x)" << QStringList{R"(c:\dir\)", "x"};
    QTest::newRow("literal backslashes") << R"(prog C:\msx\a.rom \\srv\x)"
                                         << QStringList{"prog", R"(C:\msx\a.rom)", R"(\\srv\x)"};
    QTest::newRow("escaped quote") << R"(prog a\"b)" << QStringList{"prog", R"(a"b)"};
    QTest::newRow("even backslashes before quote") << R"(prog "a\\" b)" << QStringList{"prog", R"(a\)", "b"};
    QTest::newRow("odd backslashes before quote") << R"(prog "a\\\" b")" << QStringList{"prog", R"(a\" b)"};
    QTest::newRow("doubled quote inside quotes") << R"(prog "a""b" c)" << QStringList{"prog", R"(a"b)", "c"};
    QTest::newRow("encoder command")
        << R"(tapecast -cd -o "/tmp/my game.wav" -c -p 1000 "/tmp/my game.rom" "/tmp/b.bin" -n)"
        << QStringList{"tapecast", "-cd", "-o", "/tmp/my game.wav", "-c", "-p", "1000",
                       "/tmp/my game.rom", "/tmp/b.bin", "-n"};
}

void CommandLineTest::splits()
{
    QFETCH(QString, line);
    QFETCH(QStringList, args);
    QCOMPARE(SplitCommandLine(line), args);
}
