#pragma once
// Control ids and initial list items of the console window (dialog 102).
#include <string>
#include <vector>

namespace pemblor::resources::console {

inline constexpr int kExit = 1;
inline constexpr int kOpenDev = 1000;
inline constexpr int kCloseDev = 1002;
inline constexpr int kOutputList = 1003;
inline constexpr int kDevInf = 1004;
inline constexpr int kAddress = 1005;
inline constexpr int kRead = 1006;
inline constexpr int kWrite = 1007;
inline constexpr int kClear = 1009;
inline constexpr int kDeviceLine = 1010;
inline constexpr int kNormalLine = 1011;
inline constexpr int kAddressType = 1012;
inline constexpr int kDataToWrite = 1013;
inline constexpr int kWatchAddresses = 1014;
inline constexpr int kWatchValues = 1015;
inline constexpr int kReceptionLine = 1016;
inline constexpr int kErrorLine = 1017;
inline constexpr int kVerInfLine = 1018;
inline constexpr int kChan1Line = 1019;
inline constexpr int kStartWatch = 1020;
inline constexpr int kStopWatch = 1021;
inline constexpr int kMemTest = 1022;
inline constexpr int kLength = 1023;
inline constexpr int kLoad = 1024;
inline constexpr int kSave = 1025;
inline constexpr int kChan2Line = 1026;
inline constexpr int kDevice = 1027;
inline constexpr int kFileLabel = 1028;
inline constexpr int kDebug = 1029;
inline constexpr int kLoadP = 1030;
inline constexpr int kInterDsp = 1031;
inline constexpr int kDebugNumber = 1032;
inline constexpr int kCategory = 1033;
inline constexpr int kSendToDsp = 1034;
inline constexpr int kRecvData = 1035;
inline constexpr int kResetDsp = 1036;
inline constexpr int kSendToPci = 1037;
inline constexpr int kPreview = 1038;
inline constexpr int kChan3Line = 1039;
inline constexpr int kChan4Line = 1040;
inline constexpr int kSetDma = 1041;
inline constexpr int kStream = 1042;
inline constexpr int kPlay = 1045;
inline constexpr int kSaveFile = 1046;
inline constexpr int kChannelSwitchFirst = 1047;  // 1047..1054
inline constexpr int kUnknownCheck = 1055;
inline constexpr int kStart = 1056;
inline constexpr int kStop = 1057;
inline constexpr int kSaveLog = 1058;
inline constexpr int kSuperiorOp = 1061;
inline constexpr int kShowAllInf = 1062;
inline constexpr int kEmailLabel = 1066;
inline constexpr int kLabelAddressType = 1067;
inline constexpr int kLabelAddress = 1068;
inline constexpr int kLabelLength = 1069;
inline constexpr int kLabelDataToWrite = 1070;
inline constexpr int kLabelDebugNumber = 1071;
inline constexpr int kLabelFileName = 1072;
inline constexpr int kAllDev = 1073;

// Timers of the console window.
inline constexpr int kStatusTimer = 1;
inline constexpr int kReceiveTimer = 2;
inline constexpr int kHealthTimer = 3;  // the card's poll for the metrics, when they are served

inline const std::vector<std::string> kAddressTypeItems = {
    "bar0   4M", "bar1   8M", "bar2   IO", "Original Video Field", "DSP Address Field", "2804 Register",
    "Physical Address"};
inline const std::vector<std::string> kAddressItems = {
    "0x00000000",      "0x00000400",       "0x0041FFF0 HSR",   "0x0041FFF4 HDCR",  "0x0041FFF8 DSPP",
    "0x00400000 RSTSRC", "0x00400008 PCIIS", "0x00400010 DSPMA", "0x00400014 PCIMA", "0x00400018 PCIMC"};
inline const std::vector<std::string> kLengthItems = {"0x80", "0x200", "0x04", "36", "20"};
inline const std::vector<std::string> kCategoryItems = {
    "0 Genneral Inf",          "1 All Counter Inf",        "2 DSP Device Inf",       "3 Master Channel Inf",
    "4 Bus Slot Inf",          "5 Encoded Video DMA Inf",  "6 Preview Video DMA Inf", "7 Interrupt DPC CTRL Data",
    "8 Timer CTRL Data",       "9 DSP Debug Inf",          "A Encoded Video Data HD", "B Primal Video Data HD",
    "C SDK Message Packet",    "D HardWare Version Inf",   "E Driver DSP Cmd List"};
inline const std::vector<std::string> kStreamItems = {"Chan1",    "Chan2",    "Chan3",    "Chan4",
                                                      "SubChan1", "SubChan2", "SubChan3", "SubChan4"};

}  // namespace pemblor::resources::console
