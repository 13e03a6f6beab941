// Resource and control ids of the Kelvane plug-in.
// Plain #defines only: this header is read by the C++ compiler and by the
// resource compiler. Control ids repeat across dialogs, so every control id
// carries the prefix of its dialog (VIEW, GEN, DT, MONO, DIP, AP).
#ifndef KELVANE_RES_RESOURCE_H
#define KELVANE_RES_RESOURCE_H

#include "KelvaneVersion.h"  // made from VERSION by CMake

#ifndef IDC_STATIC
#define IDC_STATIC                  (-1)
#endif

// Dialog templates
#define IDD_VIEW                    101
#define IDD_ACOUSTIC                1001
#define IDD_DTGAIN                  1003
#define IDD_GENERAL                 1006
#define IDD_MONOPOLE                1011
#define IDD_DIPOLE                  1012

// Menu of the frame and its commands
#define IDR_MAINFRAME               1000
#define ID_FILE_EXIT                32771
#define ID_FILE_SEND_ALL            32772
#define ID_VIEW_TREND               32773
#define ID_FILE_BUMPLESS            32774
#define ID_VIEW_ACK_HEALTH          32775

// Icons: page list (32x32, 16 colours) and frame (128x128, 24-bit)
#define IDI_DIPOLE                  1015
#define IDI_DTGAIN                  1016
#define IDI_MONOPOLE                1017
#define IDI_GENERAL                 1020
#define IDI_ACOUSTIC                1023
#define IDI_FRAME                   1032

// View (IDD_VIEW): page list, page icon and caption above the page area
#define IDC_VIEW_PAGEAREA           1000
#define IDC_VIEW_PAGELIST           1022
#define IDC_VIEW_PAGEICON           1040
#define IDC_VIEW_CAPTION            1041

// General control page (IDD_GENERAL)
#define IDC_GEN_STEP1               1013
#define IDC_GEN_STEP2               1014
#define IDC_GEN_STEP3               1012
#define IDC_GEN_DSP_RESET           1015
#define IDC_GEN_TOOL_RESET          1083
#define IDC_GEN_DT_DELAY            1005
#define IDC_GEN_DT_DELAY_STEP       1011
#define IDC_GEN_DT_SAMPLERATE       1008
#define IDC_GEN_MONO_DELAY          1003
#define IDC_GEN_MONO_DELAY_STEP     1009
#define IDC_GEN_MONO_SAMPLERATE     1001
#define IDC_GEN_DIP_DELAY           1004
#define IDC_GEN_DIP_DELAY_STEP      1010
#define IDC_GEN_DIP_SAMPLERATE      1002
#define IDC_GEN_DOWNLOAD            1018
#define IDC_GEN_CHECK               1084
#define IDC_GEN_LIST_LEFT           1085
#define IDC_GEN_LIST_RIGHT          1086
#define IDC_GEN_LAST_REPORT         1087

// DT gain control page (IDD_DTGAIN)
#define IDC_DT_AUTO_ON              1010
#define IDC_DT_AUTO_OFF             1011
#define IDC_DT_CH1                  1003
#define IDC_DT_CH2                  1004
#define IDC_DT_CH3                  1005
#define IDC_DT_CH4                  1006
#define IDC_DT_ALL                  1007
#define IDC_DT_SPIN_CH1             1044
#define IDC_DT_SPIN_CH2             1045
#define IDC_DT_SPIN_CH3             1046
#define IDC_DT_SPIN_CH4             1047
#define IDC_DT_SPIN_ALL             1048
#define IDC_DT_READBACK1            1074
#define IDC_DT_READBACK2            1075
#define IDC_DT_READBACK3            1076
#define IDC_DT_READBACK4            1077
#define IDC_DT_START_TIME           1013
#define IDC_DT_WIN_LENGTH           1014
#define IDC_DT_OFFSET               1015
#define IDC_DT_START_TIME_VALUE     1050
#define IDC_DT_WIN_LENGTH_VALUE     1051
#define IDC_DT_OFFSET_VALUE         1052
#define IDC_DT_FILTER               1082
#define IDC_DT_DOWNLOAD_ALL         1057

// Monopole full-wave control page (IDD_MONOPOLE); channels are not numbered in id order
#define IDC_MONO_AUTO_ON            1042
#define IDC_MONO_AUTO_OFF           1043
#define IDC_MONO_STACK              1001
#define IDC_MONO_WIN_END            1003
#define IDC_MONO_CH1                1004
#define IDC_MONO_CH2                1009
#define IDC_MONO_CH3                1005
#define IDC_MONO_CH4                1010
#define IDC_MONO_CH5                1006
#define IDC_MONO_CH6                1011
#define IDC_MONO_CH7                1007
#define IDC_MONO_CH8                1012
#define IDC_MONO_ALL                1008
#define IDC_MONO_SPIN_CH1           1045
#define IDC_MONO_SPIN_CH2           1050
#define IDC_MONO_SPIN_CH3           1046
#define IDC_MONO_SPIN_CH4           1051
#define IDC_MONO_SPIN_CH5           1047
#define IDC_MONO_SPIN_CH6           1052
#define IDC_MONO_SPIN_CH7           1048
#define IDC_MONO_SPIN_CH8           1053
#define IDC_MONO_SPIN_ALL           1049
#define IDC_MONO_READBACK1          1074
#define IDC_MONO_READBACK2          1075
#define IDC_MONO_READBACK3          1076
#define IDC_MONO_READBACK4          1077
#define IDC_MONO_READBACK5          1078
#define IDC_MONO_READBACK6          1079
#define IDC_MONO_READBACK7          1080
#define IDC_MONO_READBACK8          1081
#define IDC_MONO_FILTER             1059
#define IDC_MONO_DOWNLOAD_ALL       1017

// Dipole full-wave control page (IDD_DIPOLE); arrows and read-backs as on the monopole page
#define IDC_DIP_AUTO_ON             1042
#define IDC_DIP_AUTO_OFF            1043
#define IDC_DIP_STACK               1001
#define IDC_DIP_WIN_END             1003
#define IDC_DIP_CH1                 1028
#define IDC_DIP_CH2                 1029
#define IDC_DIP_CH3                 1030
#define IDC_DIP_CH4                 1031
#define IDC_DIP_CH5                 1032
#define IDC_DIP_CH6                 1033
#define IDC_DIP_CH7                 1034
#define IDC_DIP_CH8                 1035
#define IDC_DIP_ALL                 1036
#define IDC_DIP_SPIN_CH1            1045
#define IDC_DIP_SPIN_CH2            1050
#define IDC_DIP_SPIN_CH3            1046
#define IDC_DIP_SPIN_CH4            1051
#define IDC_DIP_SPIN_CH5            1047
#define IDC_DIP_SPIN_CH6            1052
#define IDC_DIP_SPIN_CH7            1048
#define IDC_DIP_SPIN_CH8            1053
#define IDC_DIP_SPIN_ALL            1049
#define IDC_DIP_READBACK1           1074
#define IDC_DIP_READBACK2           1075
#define IDC_DIP_READBACK3           1076
#define IDC_DIP_READBACK4           1077
#define IDC_DIP_READBACK5           1078
#define IDC_DIP_READBACK6           1079
#define IDC_DIP_READBACK7           1080
#define IDC_DIP_READBACK8           1081
#define IDC_DIP_FILTER              1009

// Acoustic process page (IDD_ACOUSTIC)
#define IDC_AP_CURVE                1001
#define IDC_AP_FILTER_TYPE          1002
#define IDC_AP_LOW_CUT              1003
#define IDC_AP_HIGH_CUT             1004
#define IDC_AP_DT_MIN               1069
#define IDC_AP_DT_MAX               1070
#define IDC_AP_COR_WIN              1071
#define IDC_AP_COEFF                1016
#define IDC_AP_COEFF_VALUE          1072
#define IDC_AP_THRES_TYPE           1005
#define IDC_AP_THRES_FACTOR         1006
#define IDC_AP_THRES_FACTOR_VALUE   1073
#define IDC_AP_SEARCH_WIN           1007
#define IDC_AP_SEARCH_WIN_VALUE     1068
#define IDC_AP_START_LINK1          1009
#define IDC_AP_START_LINK2          1010
#define IDC_AP_START_LINK3          1011
#define IDC_AP_START_LINK4          1012
#define IDC_AP_START1               1008
#define IDC_AP_START2               1013
#define IDC_AP_START3               1014
#define IDC_AP_START4               1015
#define IDC_AP_START1_VALUE         1060
#define IDC_AP_START2_VALUE         1061
#define IDC_AP_START3_VALUE         1062
#define IDC_AP_START4_VALUE         1063
#define IDC_AP_MIN_LINK1            1017
#define IDC_AP_MIN_LINK2            1019
#define IDC_AP_MIN_LINK3            1021
#define IDC_AP_MIN_LINK4            1023
#define IDC_AP_MIN1                 1018
#define IDC_AP_MIN2                 1020
#define IDC_AP_MIN3                 1022
#define IDC_AP_MIN4                 1024
#define IDC_AP_MIN1_VALUE           1064
#define IDC_AP_MIN2_VALUE           1065
#define IDC_AP_MIN3_VALUE           1066
#define IDC_AP_MIN4_VALUE           1067

// Set-ups and the job record: File menu commands and their dialogs
#define ID_FILE_SAVE_SETUP          32780
#define ID_FILE_LOAD_SETUP          32781
#define ID_FILE_SAVE_RECORD         32782
#define IDD_SETUP_NAME              1100
#define IDD_SETUP_LIST              1101
#define IDD_SETUP_PREVIEW           1102
#define IDD_JOB_RECORD              1103
#define IDC_SETUP_NAME              1200
#define IDC_SETUP_NAME_NOTE         1201
#define IDC_SETUP_LIST              1202
#define IDC_SETUP_RENAME            1203
#define IDC_SETUP_DELETE            1204
#define IDC_SETUP_CHANGES           1205
#define IDC_SETUP_PREVIEW_TEXT      1206
#define IDC_RECORD_PATH             1207
#define IDC_RECORD_NOTE             1208
#define ID_FILE_NEW_JOB             32783
#define IDD_NEW_JOB                 1104
#define IDC_JOB_COMPANY             1210
#define IDC_JOB_WELL                1211
#define IDC_JOB_FIELD               1212
#define IDC_JOB_RUN                 1213
#define IDC_JOB_ENGINEER            1214
#define IDC_JOB_SERIAL              1215
#define IDC_JOB_NOTES               1216
#define IDC_JOB_NOTE                1217

#endif // KELVANE_RES_RESOURCE_H
