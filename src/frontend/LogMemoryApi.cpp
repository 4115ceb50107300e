// Exported functions on the instrument's log memory: its room, its files, the
// scans and the configuration of one log file, and clearing it.
#include "core/Numbers.h"
#include "frontend/ApiFrame.h"
#include "korda32ext.h"
#include "logdata/DataFileReader.h"
#include "logdata/LogDataFetchProcessor.h"
#include "logdata/LogMemory.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

using namespace korda32ex;
using namespace korda32ex::logdata;

namespace {

constexpr std::size_t kNamesPerExchange = 15;
constexpr std::string_view kDataHeader = "Record #,Time,";

// The number of log files; -2035 when the reply is not a count.
int fileCount(SCPIHandler& h, int& n) {
    std::string reply;
    const int st = h.query(kFileCountQuery, reply);
    if (st != status::kOk) return st;
    const auto number = readLeadingInt(reply);
    if (!number) return status::kInvalidResponse;
    n = *number;
    return status::kOk;
}

// The whole reply of a command on a named log file.
int readLogFile(SCPIHandler& h, std::string_view commandWord, const wchar_t* name,
                std::string& text) {
    return h.readUntilNoError(fileCommand(commandWord, name), text);
}

// A 64-bit number within the int32 range.
std::int32_t clamped(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

} // namespace

extern "C" {

KORDA_API int KORDA_CALL dlxVmrPCCardStatus(int bcn, int32_t* status) {
    return withInstrument(bcn, [&](SCPIHandler& h, GlobalData&) {
        if (status == nullptr) return status::kInvalidParameter;
        std::string reply;
        const int st = h.query("MEMory:LOG:FREE?", reply);
        if (st != status::kOk) return st;
        const auto comma = reply.find(',');
        if (comma == std::string::npos) {
            // One number: nothing to report. Anything else is no answer.
            return readLeadingInteger(reply) ? status::kOk : status::kInvalidResponse;
        }
        const auto first = readLeadingInteger(std::string_view(reply).substr(0, comma));
        const auto second = readLeadingInteger(std::string_view(reply).substr(comma + 1));
        if (!first || !second) return status::kInvalidResponse;
        // Whole KiB, rounded toward zero; the sum cannot overflow 64 bits.
        const std::int64_t firstKiB = *first / 1024;
        const std::int64_t secondKiB = *second / 1024;
        status[0] = clamped(firstKiB + secondKiB);
        status[1] = clamped(firstKiB);
        status[2] = clamped(secondKiB);
        return status::kOk;
    });
}

KORDA_API int KORDA_CALL dlxVmrPCCardFormat(int bcn) {
    return withInstrument(bcn, [&](SCPIHandler& h, GlobalData&) {
        int st = h.sendCommand("MEMory:LOG:SECurity OFF");
        if (st != status::kOk) return st;
        int n = 0;
        st = fileCount(h, n);
        if (st != status::kOk) return st;
        // The names are asked as before; the clear below empties the whole
        // memory, so no file is deleted by name.
        for (int i = 1; i <= n; ++i) {
            std::string name;
            st = h.query(fileNameQuery(i), name);
            if (st != status::kOk) return st;
        }
        st = h.sendCommand("MEMory:LOG:CLEar");
        if (st != status::kOk) return st;
        return h.sendCommand("MEMory:STATe:CLEar");
    });
}

KORDA_API int KORDA_CALL dlxVmrGetPCCardScansFileList(int bcn, char** names, int* count) {
    return withInstrument(bcn, [&](SCPIHandler& h, GlobalData&) {
        if (names == nullptr || count == nullptr) return status::kInvalidParameter;
        int n = 0;
        int st = fileCount(h, n);
        if (st != status::kOk) return st;
        if (n <= 0) return status::kNoLogFiles;
        std::string list;
        std::vector<std::string> queries;
        std::vector<std::string> replies;
        for (int first = 1; first <= n;) {
            const int last =
                first + static_cast<int>(std::min<std::int64_t>(kNamesPerExchange, n - first + 1));
            queries.clear();
            for (int i = first; i < last; ++i)
                queries.push_back(fileNameQuery(i));
            replies.clear();
            st = h.queryLines(queries, replies);
            if (st != status::kOk) return st;
            const std::size_t lines = std::min(replies.size(), queries.size());
            for (std::size_t i = 0; i < lines; ++i) {
                list += replies[i];
                list += '*';
            }
            if (list.size() > SCPIHandler::kLongReplyLimit) return status::kInvalidResponse;
            first = last;
        }
        auto out = std::make_unique<char[]>(list.size() + 1);
        std::memcpy(out.get(), list.c_str(), list.size() + 1);
        *names = out.release();
        *count = n;
        return status::kOk;
    });
}

KORDA_API int KORDA_CALL dlxVmrPCCardScansCount(int bcn, int* count, int fromLog) {
    if ((fromLog & 0xFF) == 0) return dlxVmrGetScansCount(bcn, count);
    return withInstrument(bcn, [&](SCPIHandler& h, GlobalData&) {
        if (count == nullptr) return status::kInvalidParameter;
        int n = 0;
        int st = fileCount(h, n);
        if (st != status::kOk) return st;
        if (n <= 0) return status::kOk;
        std::string reply;
        st = h.query(fileNameQuery(n), reply);
        if (st != status::kOk) return st;
        std::string text;
        st = h.readUntilNoError(fileCommand(kReadCommand, nameOfReply(reply)), text);
        if (st != status::kOk) return st;
        countScans(text, *count);
        return status::kOk;
    });
}

KORDA_API int KORDA_CALL dlxVmrPCCardScansCountFile(int bcn, const wchar_t* fileName, int* count) {
    return withInstrument(bcn, [&](SCPIHandler& h, GlobalData&) {
        if (fileName == nullptr || count == nullptr) return status::kInvalidParameter;
        std::string text;
        const int st = readLogFile(h, kReadCommand, fileName, text);
        if (st != status::kOk) return st;
        if (text.find(kDataHeader) != std::string::npos) countScans(text, *count);
        return status::kOk;
    });
}

KORDA_API int KORDA_CALL dlxVmrScansFileGet(int bcn, const wchar_t* fileName, int count, int start,
                                            ScanRecord* record) {
    return withInstrument(bcn, [&](SCPIHandler& h, GlobalData&) {
        if (fileName == nullptr || record == nullptr || count < 0 || start < 0)
            return status::kInvalidParameter;
        std::string text;
        const int st = readLogFile(h, kReadCommand, fileName, text);
        if (st != status::kOk) return st;
        if (text.find(kDataHeader) == std::string::npos) return status::kOk;
        record->entrySize = DLXVMR_SCAN_RECORD_HEADER_SIZE;
        const int n = readDataText(text, start, count, *record);
        return n > 0 ? n : status::kTooManyScans;
    });
}

KORDA_API int KORDA_CALL dlxVmrPCCardConfigGet(int bcn, VmrInstConfig* config, int,
                                               const wchar_t* fileName) {
    return withInstrument(bcn, [&](SCPIHandler& h, GlobalData& g) {
        if (config == nullptr || fileName == nullptr) return status::kInvalidParameter;
        std::string text;
        const int st = readLogFile(h, kReadConfigurationCommand, fileName, text);
        if (st != status::kOk) return st;
        LogDataFetchProcessor processor;
        std::string errorText;
        int errorCode = 0;
        if (processor.parseResponse(text, *config, errorText, errorCode)) return status::kOk;
        if (errorCode == 0) return status::kInvalidResponse;
        g.setErrorMessage(errorCode, errorText);
        return errorCode;
    });
}

KORDA_API int KORDA_CALL dlxVmrPCCardScansGet(int, int, int, void*) {
    return status::kOk;
}

} // extern "C"
