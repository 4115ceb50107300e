// Every exported function that talks to an instrument, with usable
// arguments, by name: swept by transport faults and checked for the status
// each gives without the library or an open instrument.
#pragma once

#include "FullRecord.h"
#include "Instrument.h"
#include "ScanBuffer.h"
#include "ScanModel.h"
#include "korda32ext.h"

#include <functional>
#include <string>
#include <vector>

namespace korda::test {

struct Call {
    const char* name;
    std::function<int()> run;
    // The most lines one exchange of the call sends.
    int linesPerExchange = 1;
    // Any text is a valid reply (the OEM identity, the module names).
    bool freeText = false;
    // The last exchange may fail without failing the call (the fingerprint
    // that a configuration stores at its end only serves the next skip test).
    bool lastExchangeTolerated = false;
};

// Outputs of the calls (the calls run on the test's thread only).
inline int gValue = 0;
inline float gReading = 0;
inline char gText[64];
inline wchar_t gWide[64];
inline std::int32_t gStatus[3];

// The calls on BCN b; instrument: the one behind it, made to scan for ScansGet.
inline std::vector<Call> instrumentCalls(sim::Instrument& instrument, int b = 1) {
    const std::shared_ptr<VmrInstConfig> config = threeVoltageInputs();
    return {
        {"ModelCheck", [b] { return dlxVmrModelCheck(b); }},
        {"TimeSet", [b] { return dlxVmrTimeSet(b); }, 3},
        {"TimeSetUTC", [b] { return dlxVmrTimeSetUTC(b); }, 3},
        {"DIOGet", [b] { return dlxVmrDIOGet(b, &gValue); }},
        {"DIOSet", [b] { return dlxVmrDIOSet(b, 0x0F, 0x05); }, 3},
        {"TotalizerGet", [b] { return dlxVmrTotalizerGet(b, &gValue); }},
        {"TotalizerClear", [b] { return dlxVmrTotalizerClear(b); }, 3},
        {"OEMIdentitySetA", [b] { return dlxVmrOEMIdentitySetA(b, "lab 7"); }, 3},
        {"OEMIdentitySetW", [b] { return dlxVmrOEMIdentitySetW(b, L"lab 7"); }, 3},
        {"OEMIdentityGetA", [b] { return dlxVmrOEMIdentityGetA(b, gText, sizeof gText); }, 1, true},
        {"OEMIdentityGetW", [b] { return dlxVmrOEMIdentityGetW(b, gWide, 64); }, 1, true},
        {"GetInstalledModules", [b] { return dlxVmrGetInstalledModules(b); }, 1, true},
        {"ScansEnable", [b] { return dlxVmrScansEnable(b, 0); }, 5},
        {"ScansClear", [b] { return dlxVmrScansClear(b); }, 3},
        {"PCCardScansClear", [b] { return dlxVmrPCCardScansClear(b); }, 3},
        {"GetScansCount", [b] { return dlxVmrGetScansCount(b, &gValue); }},
        {"ScansCount", [b] { return dlxVmrScansCount(b, &gValue); }},
        {"InstMonitor", [b] { return dlxVmrInstMonitor(b, 1, 101); }, 5},
        {"SpyEnable", [b] { return dlxVmrSpyEnable(b, 1); }, 5},
        // The monitor reading takes the BCN in the thousands of its channel code.
        {"SpyGet", [b] { return dlxVmrSpyGet(b * 1000 + 101, &gReading); }, 9},
        {"PCCardStatus", [b] { return dlxVmrPCCardStatus(b, gStatus); }},
        {"ScansGet",
         [&instrument, b] {
             // Fresh readings for every call: the instrument scans every
             // second without end (a monitor reading leaves a count of one
             // behind) and its clock moves on by three.
             if (!sim::scanning(instrument))
                 for (const char* line : {"TRIG:TIM 1", "TRIG:COUN 0", "FORM:READ:TIME 1",
                                          "FORM:READ:ALAR ON", "INIT"})
                     instrument.execute(line);
             sim::advanceClock(instrument, 3000);
             ScanBuffer buffer(2, 3);
             return dlxVmrScansGet(b, 2, buffer.record());
         }},
        {"ConfigSet", [b, config] { return dlxVmrConfigSet(b, config.get(), 0, nullptr); }, 41,
         false, true},
    };
}

} // namespace korda::test
