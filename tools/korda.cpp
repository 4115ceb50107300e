// korda: drive an instrument, or the virtual one, through the library.
#include "Instrument.h"
#include "TcpServer.h"
#include "korda32ext.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

void usage() {
    std::fprintf(stderr, "usage: korda demo [7043A|5129A]\n"
                         "       korda [--host A.B.C.D] --port N [--model 7043A|5129A] COMMAND...\n"
                         "       korda --com N [--model 7043A|5129A] COMMAND...\n"
                         "       korda usb-enum [HIGHEST]\n"
                         "--com N reaches the instrument on USB virtual COM port N (0 searches\n"
                         "COM1 to COM64); usb-enum lists the instruments on COM1 to COM<HIGHEST>.\n"
                         "commands:\n"
                         "  check            confirm the model\n"
                         "  timeout SECONDS  set the library timeout\n"
                         "demo starts the virtual instrument in this process and runs a short\n"
                         "session against it.\n");
}

std::string errorText(int code) {
    char text[256];
    dlxVmrGetErrorStringA(code, text, sizeof text);
    return text;
}

// Prints one step and its status; returns true on success.
bool report(const char* what, int status) {
    if (status >= 1)
        std::printf("%-34s -> %d\n", what, status);
    else
        std::printf("%-34s -> %d (%s)\n", what, status, errorText(status).c_str());
    return status >= 1;
}

int modelCode(const std::string& m) {
    if (m == "7043A") return DLXVMR_MODEL_7043A;
    if (m == "5129A") return DLXVMR_MODEL_5129A;
    return DLXVMR_MODEL_UNIDENTIFIED;
}

int runSession(int kind, const uint8_t address[4], int port, int model,
               const std::vector<std::string>& commands) {
    const int bcn = 1;
    report("dlxVmrLibInit", dlxVmrLibInit(0));
    report("dlxVmrCCFsetBCN", dlxVmrCCFsetBCN(bcn, kind, port, address, model));
    int failures = 0;
    if (!report("dlxVmrCommOpen", dlxVmrCommOpen(bcn))) {
        dlxVmrLibExit();
        return 1;
    }
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const std::string& c = commands[i];
        if (c == "check") {
            failures += !report("dlxVmrModelCheck", dlxVmrModelCheck(bcn));
        } else if (c == "timeout" && i + 1 < commands.size()) {
            failures +=
                !report("dlxVmrTimeoutSet",
                        dlxVmrTimeoutSet(static_cast<uint32_t>(std::atoi(commands[++i].c_str()))));
            uint32_t seconds = 0;
            failures += !report("dlxVmrTimeoutGet", dlxVmrTimeoutGet(&seconds));
            std::printf("  timeout is %u s\n", seconds);
        } else {
            std::fprintf(stderr, "korda: unknown command '%s'\n", c.c_str());
            ++failures;
        }
    }
    report("dlxVmrCommClose", dlxVmrCommClose(bcn));
    report("dlxVmrLibExit", dlxVmrLibExit());
    return failures == 0 ? 0 : 1;
}

int demo(const std::string& modelName) {
    using namespace korda::sim;
    Instrument instrument(modelName == "5129A" ? Model::M5129A : Model::M7043A);
    TcpServer server(instrument);
    if (!server.listening()) {
        std::fprintf(stderr, "korda: the virtual instrument cannot listen\n");
        return 1;
    }
    std::printf("virtual %s listening on 127.0.0.1:%u\n", instrument.modelName(), server.port());
    const uint8_t loopback[4] = {127, 0, 0, 1};
    return runSession(DLXVMR_INTERFACE_TCPIP, loopback, server.port(), modelCode(modelName),
                      {"check", "timeout", "7"});
}

// Lists the instruments found on COM1 to COM<highest>.
int usbEnum(int highest) {
    report("dlxVmrLibInit", dlxVmrLibInit(0));
    const std::size_t slots = static_cast<std::size_t>(highest > 1 ? highest : 1);
    std::vector<int> ports(slots, 0), models(slots, -1);
    const bool ok = report("dlxVmrUsbEnum", dlxVmrUsbEnum(ports.data(), models.data(), highest));
    for (std::size_t i = 0; i < slots && ports[i] != 0; ++i) {
        const int m = models[i];
        std::printf("  COM%d: %s\n", ports[i],
                    m == DLXVMR_MODEL_7043A   ? "7043A"
                    : m == DLXVMR_MODEL_5129A ? "5129A"
                                              : "unidentified instrument");
    }
    report("dlxVmrLibExit", dlxVmrLibExit());
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        usage();
        return 2;
    }
    if (std::strcmp(argv[1], "demo") == 0) return demo(argc > 2 ? argv[2] : "7043A");
    if (std::strcmp(argv[1], "usb-enum") == 0) return usbEnum(argc > 2 ? std::atoi(argv[2]) : 64);
    uint8_t address[4] = {127, 0, 0, 1};
    int port = -1;
    int kind = DLXVMR_INTERFACE_TCPIP;
    int model = DLXVMR_MODEL_UNIDENTIFIED;
    std::vector<std::string> commands;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--host" && i + 1 < argc) {
            unsigned b[4];
            if (std::sscanf(argv[++i], "%u.%u.%u.%u", &b[0], &b[1], &b[2], &b[3]) != 4) {
                usage();
                return 2;
            }
            for (int k = 0; k < 4; ++k)
                address[k] = static_cast<uint8_t>(b[k]);
        } else if (a == "--port" && i + 1 < argc) {
            port = std::atoi(argv[++i]);
        } else if (a == "--com" && i + 1 < argc) {
            port = std::atoi(argv[++i]);
            kind = DLXVMR_INTERFACE_USB;
        } else if (a == "--model" && i + 1 < argc) {
            model = modelCode(argv[++i]);
        } else if (a == "--help" || a == "-h") {
            usage();
            return 0;
        } else {
            commands.push_back(a);
        }
    }
    if (port < 0 && kind == DLXVMR_INTERFACE_TCPIP) {
        usage();
        return 2;
    }
    return runSession(kind, address, port, model, commands);
}
