#include "check_cases.h"

#include "check_report.h"

#include <algorithm>

namespace {

// The usual camera, present, with these entries after its identity lines.
Scenario CameraWith(const std::string& entries) {
    return CameraRun("", entries, {}, {});
}

CheckCase Warning(const std::string& name, const std::string& entries, const std::string& warning) {
    CheckCase row;
    row.name = name;
    row.machine = CameraWith(entries);
    row.exitCode = 1;
    row.warnings = {warning};
    return row;
}

} // namespace

void PrintTo(const CheckCase& row, std::ostream* out) {
    *out << row.name;
}

std::vector<CheckCase> CheckWarningCases() {
    std::vector<CheckCase> rows{
        Warning("KeyAfterGap", "[CLASSSETTINGS]\r\nValue1=A,1\r\nValue3=B,2\r\n",
                "[CLASSSETTINGS] Value3: after a gap (no Value2): never read"),
        Warning("EntryWithoutComma", "[CLASSSETTINGS]\r\nValue1=Gain 5\r\nValue2=B,2\r\n",
                "[CLASSSETTINGS] Value1: \"Gain 5\" has no comma: Pravenit skips it"),
        Warning("NameTooLongToSplit",
                "[DEFAULTSETTINGS]\r\nValue1=" + std::string(270, 'n') + ",5\r\nValue2=A,1\r\n",
                "[DEFAULTSETTINGS] Value1: the entry has 272 characters; Pravenit reads only "
                "the first 259, which hold no comma: the name is too long to be split, and "
                "Pravenit skips it"),
        Warning("NotPlainDecimal", "[CLASSSETTINGS]\r\nValue1=Mode,0x10\r\n",
                "[CLASSSETTINGS] Value1: \"0x10\" is not a plain decimal integer: Pravenit "
                "reads 0"),
        Warning("OutsideSigned32Bits", "[CLASSSETTINGS]\r\nValue1=Big,4294967296\r\n",
                "[CLASSSETTINGS] Value1: 4294967296 is outside the signed 32-bit range and "
                "wraps to 0 (0x00000000)"),
        Warning("ValueNameTwice", "[DEFAULTSETTINGS]\r\nValue1=Gain,1\r\nValue2=gain,2\r\n",
                "[DEFAULTSETTINGS] Value1: the value name \"Gain\" is set again by Value2, "
                "which wins"),
        Warning("NumberedKeyTwice", "[CLASSSETTINGS]\r\nValue1=A,1\r\nValue1=B,2\r\n",
                "[CLASSSETTINGS] Value1: given more than once; Pravenit reads the first"),
        Warning("ResetNotANumber", "[CLASSSETTINGS]\r\nValue1=A,1\r\n[INFO]\r\nRESET=yes\r\n",
                "[INFO] RESET: \"yes\" is not a plain number; Pravenit reads it as 0, so the "
                "service is not restarted"),
        Warning("QuotesStayInNumber", "[CLASSSETTINGS]\r\nValue1=Gain,\"5\"\r\n",
                "[CLASSSETTINGS] Value1: the quotes stay in the number \"\"5\"\", which reads "
                "as 0"),
        Warning("QuotesStayInName", "[CLASSSETTINGS]\r\nValue1=\"My name\",5\r\n",
                "[CLASSSETTINGS] Value1: the quotes stay in the value name \"\"My name\"\" "
                "(only quotes around the whole entry are removed)"),
    };

    CheckCase cut = Warning("VidCut", "[CLASSSETTINGS]\r\nValue1=A,1\r\n",
                            "[Device] VID: \"VID_2B7E&PID\" is cut to its first 9 characters, "
                            "\"VID_2B7E&\"");
    cut.machine.settings = "[Device]\r\nVID=VID_2B7E&PID\r\nPID=PID_C0A1\r\n[CLASSSETTINGS]\r\n"
                           "Value1=A,1\r\n";
    rows.push_back(cut);

    CheckCase twoCameras =
        Warning("SeveralMatchingDevices", "[CLASSSETTINGS]\r\nValue1=A,1\r\n",
                "devices: 2 imaging devices match the camera identity; Pravenit configures "
                "only the first, device 1");
    twoCameras.machine.devices.push_back({CameraHardwareIds, OTHER_DRIVER});
    rows.push_back(twoCameras);

    CheckCase longFolder =
        Warning("FolderTooLong", "[CLASSSETTINGS]\r\nValue1=A,1\r\n",
                "settings file: the folder path is too long: Pravenit cannot find its settings "
                "file (the folder may have at most 243 characters)");
    longFolder.longFolder = true;
    longFolder.exitCode = 2;
    rows.push_back(longFolder);
    return rows;
}

std::vector<CheckCase> CheckExitCodeCases() {
    const std::string entries = "[CLASSSETTINGS]\r\nValue1=Gain,5\r\n";
    auto row = [&](const std::string& name, int exitCode, const std::string& line) {
        CheckCase result;
        result.name = name;
        result.machine = CameraWith(entries);
        result.exitCode = exitCode;
        result.line = line;
        return result;
    };
    std::vector<CheckCase> rows;

    rows.push_back(row("ValueToAdd", 1, "  Value1 \"Gain\": 5 (0x00000005), now absent: add"));
    CheckCase inPlace =
        row("AllInPlace", 0, "  Value1 \"Gain\": 5 (0x00000005), now the same: keep");
    inPlace.machine.before = {Dword(CAMERA_KEY, "gain", 5)};
    rows.push_back(inPlace);
    CheckCase other =
        row("OtherNumber", 1, "  Value1 \"Gain\": 5 (0x00000005), now 7 (0x00000007): change");
    other.machine.before = {Dword(CAMERA_KEY, "Gain", 7)};
    rows.push_back(other);
    CheckCase text = row("OtherType", 1, "  Value1 \"Gain\": 5 (0x00000005), now REG_SZ: change");
    text.machine.before = {Text(CAMERA_KEY, "Gain", "5")};
    rows.push_back(text);

    CheckCase version = row("NotWindowsXp", 2, "Windows version: 6.1, build ");
    version.machine.major = 6;
    version.machine.minor = 1;
    rows.push_back(version);
    CheckCase noFile = row("NoSettingsFile", 2,
                           "Summary: 0 to add, 0 to change, 0 in place, 0 skipped; 0 warnings; "
                           "Pravenit writes nothing here (no settings file): exit code 2");
    noFile.machine.hasSettings = false;
    rows.push_back(noFile);
    CheckCase noPid =
        row("NoPid", 2, "Camera identity: no PID in section [Device]: Pravenit stops here");
    noPid.machine.settings = "[Device]\r\nVID=VID_2B7E\r\n" + entries;
    rows.push_back(noPid);
    CheckCase noCamera = row("NoCamera", 2, "  no camera: Pravenit stops here and writes nothing");
    noCamera.machine.devices = {{"USB\\VID_1111&PID_2222", CAMERA_DRIVER}};
    rows.push_back(noCamera);

    CheckCase given = row("GivenFile", 1, "  Value1 \"Other\": 9 (0x00000009), now absent: add");
    given.machine.hasSettings = false;
    given.machine.settings = std::string(CameraIdentity) + "[CLASSSETTINGS]\r\nValue1=Other,9\r\n";
    given.arguments = {OTHER_SETTINGS_FILE};
    rows.push_back(given);

    CheckCase help = row("Help", 0, "Usage: PravenitCheck.exe [PATH]");
    help.arguments = {"/?"};
    rows.push_back(help);
    CheckCase dashH = row("DashH", 0, "Usage: PravenitCheck.exe [PATH]");
    dashH.arguments = {"-h"};
    rows.push_back(dashH);
    CheckCase unknown = row("UnknownOption", 3, "PravenitCheck: unknown option: /x");
    unknown.arguments = {"/x"};
    rows.push_back(unknown);
    CheckCase twoPaths = row("TwoPaths", 3, "PravenitCheck: more than one path");
    twoPaths.arguments = {OTHER_SETTINGS_FILE, OTHER_SETTINGS_FILE};
    rows.push_back(twoPaths);
    CheckCase missing = row("MissingFile", 3, "PravenitCheck: no such file: ");
    missing.arguments = {MISSING_FILE};
    rows.push_back(missing);
    CheckCase folder = row("FolderGiven", 3, "PravenitCheck: a folder, not a settings file: ");
    folder.arguments = {A_FOLDER};
    rows.push_back(folder);
    CheckCase locked = row("LockedFile", 3, "PravenitCheck: the file cannot be read: ");
    locked.arguments = {LOCKED_FILE};
    rows.push_back(locked);
    return rows;
}

std::vector<std::string> CheckCaseMismatches(const CheckCase& row, int exitCode,
                                             const std::string& report) {
    std::vector<std::string> mismatches;
    if (exitCode != row.exitCode) {
        mismatches.push_back("exit code " + std::to_string(exitCode) + ", not " +
                             std::to_string(row.exitCode));
    }
    std::string lines = "\n" + report;
    lines.erase(std::remove(lines.begin(), lines.end(), '\r'), lines.end());
    if (!row.line.empty() && lines.find("\n" + row.line) == std::string::npos) {
        mismatches.push_back("no line starting \"" + row.line + "\"");
    }
    // Usage errors and the usage text have no report to read.
    const bool usage = report.find("Usage: PravenitCheck.exe") != std::string::npos;
    if (usage) {
        return mismatches;
    }
    CheckPrediction prediction;
    const std::string unread = ParseCheckReport(report, &prediction);
    if (!unread.empty()) {
        mismatches.push_back("report not understood: " + unread);
        return mismatches;
    }
    if (prediction.warnings != row.warnings) {
        std::string got;
        for (const std::string& warning : prediction.warnings) {
            got += "\n  " + warning;
        }
        mismatches.push_back("warnings differ; got:" + (got.empty() ? " none" : got));
    }
    if (prediction.warningCount != static_cast<int>(row.warnings.size())) {
        mismatches.push_back("the last line counts " + std::to_string(prediction.warningCount) +
                             " warnings");
    }
    return mismatches;
}
