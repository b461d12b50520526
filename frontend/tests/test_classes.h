#pragma once
// The test classes of frontend_rules_test: the window's core, without
// widgets.

#include <QObject>

class RulesTest : public QObject {
    Q_OBJECT
private slots:
    void optionClicks_data();
    void optionClicks();
    void baudRateValidation_data();
    void baudRateValidation();
    void typingIntoBaudRate_data();
    void typingIntoBaudRate();
    void pause_data();
    void pause();
    void forceWavExtension_data();
    void forceWavExtension();
    void listKeys_data();
    void listKeys();
    void doubleClickFlipsSelectedRows();
    void addingAndEmptying();
    void onlyFilesAreAdded();
    void fileDrops_data();
    void fileDrops();
    void settingsKept();
    void settingsOutOfRange();
};

class EncoderCommandTest : public QObject {
    Q_OBJECT
private slots:
    void arguments_data();
    void arguments();
    void display_data();
    void display();
    void findEncoder();
};

class TimelineTest : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void filterAtEverySplit();
    void filterPassesOtherText();
    void nowPlaying_data();
    void nowPlaying();
    void strip();
};

class ResultsTest : public QObject {
    Q_OBJECT
private slots:
    void report_data();
    void report();
    void wavInfo_data();
    void wavInfo();
    void fileKinds_data();
    void fileKinds();
    void turboKeepsItsLoader();
};
