#include "check_report.h"

#include <regex>
#include <sstream>

namespace {

std::vector<std::string> Lines(const std::string& report) {
    std::vector<std::string> lines;
    std::istringstream in(report);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

// The value name may hold anything, quotes included; the number after it may not.
const std::regex EntryLine(R"re(  Value(\d+) "(.*)": (-?\d+) \(0x([0-9A-F]{8})\)(, now (.*))?: )re"
                           R"re((add|change|keep|not written|overwritten by Value\d+)(.*))re");
const std::regex SectionLine(R"re(\[(CLASSSETTINGS|DEFAULTSETTINGS)\] (HKLM\\(.*)|.*))re");
const std::regex SummaryLine(R"re(Summary: (\d+) to add, (\d+) to change, (\d+) in place, )re"
                             R"re((\d+) skipped; (\d+) warnings?; .*exit code (\d))re");

} // namespace

std::string ParseCheckReport(const std::string& report, CheckPrediction* prediction) {
    *prediction = CheckPrediction();
    std::string key;
    bool inWarnings = false;
    bool sawRestart = false;
    for (const std::string& line : Lines(report)) {
        std::smatch match;
        if (std::regex_match(line, match, SectionLine)) {
            key = match[3].matched ? match[3].str() : "";
            if (!key.empty()) {
                prediction->keys.push_back(key);
            }
            continue;
        }
        if (std::regex_match(line, match, EntryLine)) {
            const std::string action = match[7].str();
            if (action == "add" || action == "change" || action == "keep") {
                if (key.empty()) {
                    return "a value to write without a key: " + line;
                }
                prediction->writes.push_back(Dword(
                    key, match[2].str(), static_cast<uint32_t>(std::stoul(match[4], nullptr, 16))));
            } else if (action == "not written") {
                prediction->writesNothing = true;
            }
            continue;
        }
        if (line.rfind("Service restart:", 0) == 0) {
            sawRestart = true;
            continue;
        }
        if (line == "  Pravenit runs net stop stisvc, then net start stisvc, hidden") {
            prediction->restart = true;
            continue;
        }
        if (line.rfind("  nothing is started: Pravenit stops before", 0) == 0) {
            prediction->writesNothing = true;
            continue;
        }
        if (line == "Warnings:") {
            inWarnings = true;
            continue;
        }
        if (inWarnings && line.rfind("  ", 0) == 0) {
            prediction->warnings.push_back(line.substr(2));
            continue;
        }
        if (std::regex_match(line, match, SummaryLine)) {
            prediction->added = std::stoi(match[1]);
            prediction->changed = std::stoi(match[2]);
            prediction->kept = std::stoi(match[3]);
            prediction->skipped = std::stoi(match[4]);
            prediction->warningCount = std::stoi(match[5]);
            prediction->exitCode = std::stoi(match[6]);
            inWarnings = false;
        }
    }
    if (!sawRestart) {
        return "no service restart line";
    }
    if (prediction->exitCode < 0) {
        return "no summary line";
    }
    if (prediction->writesNothing && (!prediction->writes.empty() || prediction->restart)) {
        return "writes or a restart predicted, yet Pravenit is said to stop before writing";
    }
    return "";
}

std::multiset<std::string> PredictedValueLines(const Scenario& scenario,
                                               const CheckPrediction& prediction) {
    std::vector<ScenarioValue> values = scenario.before;
    for (const ScenarioValue& write : prediction.writes) {
        bool replaced = false;
        for (ScenarioValue& value : values) {
            if (FoldedName(value.key) == FoldedName(write.key) &&
                FoldedName(value.name) == FoldedName(write.name)) {
                value.type = write.type;
                value.number = write.number;
                replaced = true;
            }
        }
        if (!replaced) {
            values.push_back(write);
        }
    }
    std::multiset<std::string> lines;
    for (const ScenarioValue& value : values) {
        lines.insert(DescribeValue(value.key, value.name, value.type, ValueBytes(value)));
    }
    return lines;
}

std::vector<std::string> PredictedCommands(const CheckPrediction& prediction) {
    return prediction.restart ? RestartCommands : std::vector<std::string>{};
}
