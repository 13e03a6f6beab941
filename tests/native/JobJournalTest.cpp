#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "KelvaneHost.h"
#include "core/logic/IniRules.h"
#include "core/logic/JobJournal.h"
#include "core/logic/SetupRules.h"

using namespace kelvane;

TEST(JobJournal, KeepsTheNewestAndSaysHowManyWentAndWhatEachActionWas) {
    JobJournal j(3);
    j.Record({20261208, 1000}, CMD_DT_CH1_GAIN, 12, 12, true);
    j.BeginAction("Send all settings");
    j.BeginAction("DT Download");  // nested: the outer action names it
    j.Record({20261208, 2000}, CMD_MONO_CH3_GAIN, 90, 80, true);
    j.EndAction();
    j.Record({20261208, 3000}, CMD_MONO_AUTO_GAIN, VALUE_ON, VALUE_ON, true);
    j.EndAction();
    j.Record({20261208, 45296789}, CMD_DT_CH1_GAIN, 15, 15, false);
    ASSERT_EQ(j.Size(), 3u);
    EXPECT_EQ(j.Total(), 4u);
    EXPECT_EQ(j.Dropped(), 1u);
    EXPECT_EQ(j.At(0).code, CMD_MONO_CH3_GAIN);
    EXPECT_EQ(j.ActionName(j.At(0).action), "Send all settings");
    EXPECT_EQ(j.ActionName(j.At(2).action), "operator");
    ASSERT_NE(j.LastOf(CMD_DT_CH1_GAIN), nullptr);
    EXPECT_EQ(j.LastOf(CMD_DT_CH1_GAIN)->value, 15);

    std::istringstream csv(JournalCsv(j));
    std::string header, a, b, c;
    std::getline(csv, header);
    std::getline(csv, a);
    std::getline(csv, b);
    std::getline(csv, c);
    EXPECT_EQ(header, "time,page,action,command,code,value,unit,limited,delivered\r");
    EXPECT_EQ(a, "2026-12-08 00:00:02.000,Monopole,Send all settings,CMD_MONO_CH3_GAIN,0x8223,80,dB,from 90,yes\r");
    EXPECT_EQ(b, "2026-12-08 00:00:03.000,Monopole,Send all settings,CMD_MONO_AUTO_GAIN,0x822B,on,on/off,no,yes\r");
    EXPECT_EQ(c, "2026-12-08 12:34:56.789,DT,operator,CMD_DT_CH1_GAIN,0x8251,15,dB,no,no\r");
}

TEST(JobJournal, RecordFitsTwoPagesAndNamesEverySettingWithItsLastSend) {
    JobJournal j(2);
    j.Record({20261208, 1000}, CMD_GAIN_STEP_2DB, 0, 0, true);
    j.Record({20261208, 2000}, CMD_MONO_CH3_GAIN, 78, 78, true);
    j.Record({20261207, 3000}, CMD_GAIN_STEP_1DB, 0, 0, true);  // the day before: older than the 2 dB step
    JobRecordInput in;
    in.when = "2026-12-08 12:00:00";
    in.workFolder = "D:\\bench";
    in.version = "1.0.0.0";
    SetDefaultParameters(in.settings, BlockView());
    in.dspReport = "No report yet";
    in.dspLines.assign(16, "MASTER PANEL DSP#1: ERROR.");
    in.notices = {"11:00:00 The settings were saved to a copy"};
    in.events = {"11:02:00 Health: Monopole CH3 stuck at 42 dB"};
    const std::string record = FormatJobRecord(in, j);
    std::istringstream lines(record);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        ++count;
        EXPECT_LE(line.size(), 81u) << line;  // 80 and the CR
    }
    EXPECT_LE(count, 2 * 66);
    for (const SetupSetting& s : SetupSettings()) EXPECT_NE(record.find(s.label), std::string::npos) << s.label;
    EXPECT_NE(record.find("Gain step                 3 dB       2 dB at 00:00:01.000"), std::string::npos) << record;
    EXPECT_NE(record.find("CH3 gain                  0 dB       78 dB at 00:00:02.000"), std::string::npos);
    EXPECT_NE(record.find("CH1 gain                  0 dB       not sent in this job"), std::string::npos);
    EXPECT_NE(record.find("The oldest 1 were dropped from memory, 2 kept."), std::string::npos);
    EXPECT_NE(record.find("no frame with read-back since start"), std::string::npos);
    EXPECT_NE(record.find("11:00:00 The settings were saved to a copy"), std::string::npos);
    EXPECT_NE(record.find("EVENTS\r\n  11:02:00 Health: Monopole CH3 stuck at 42 dB"), std::string::npos);
}
