#pragma once
// The test classes of frontend_rules_test.

#include <QObject>

class CommandLineTest : public QObject {
    Q_OBJECT
private slots:
    void splits_data();
    void splits();
};

class RulesTest : public QObject {
    Q_OBJECT
private slots:
    void optionClicks_data();
    void optionClicks();
    void baudRateValidation_data();
    void baudRateValidation();
    void typingIntoBaudRate_data();
    void typingIntoBaudRate();
    void forceWavExtension_data();
    void forceWavExtension();
    void listKeys_data();
    void listKeys();
    void doubleClickFlipsSelectedRows();
    void addingAndEmptying();
    void fileDrops_data();
    void fileDrops();
    void ramDiskDigit_data();
    void ramDiskDigit();
    void encoderCommand_data();
    void encoderCommand();
};
