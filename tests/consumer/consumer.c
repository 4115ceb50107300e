/* A program outside the source tree, built against an installed KORDA32Ext
 * (CMake package or pkg-config): prints the library version, and with a host
 * and port connects to the instrument there and checks its model.
 *
 *   consumer [HOST PORT]
 */
#include <korda32ext.h>

#include <stdio.h>
#include <stdlib.h>

static int report(const char* what, int status) {
    char text[256];
    dlxVmrGetErrorStringA(status, text, sizeof text);
    printf("%s: %d %s\n", what, status, text);
    return status == DLXVMR_OK;
}

int main(int argc, char** argv) {
    int major = 0, minor = 0, patch = 0;
    char text[32];
    if (dlxVmrGetVersion(&major, &minor, &patch, text, sizeof text) != DLXVMR_OK) return 1;
    printf("consumer: KORDA32Ext %s (%d.%d.%d)\n", text, major, minor, patch);
    int ok = report("dlxVmrLibInit", dlxVmrLibInit(0));
    if (argc == 3) {
        unsigned a[4];
        uint8_t address[4];
        if (sscanf(argv[1], "%u.%u.%u.%u", &a[0], &a[1], &a[2], &a[3]) != 4) return 2;
        for (int i = 0; i < 4; ++i)
            address[i] = (uint8_t)a[i];
        ok &= report("dlxVmrCCFsetBCN", dlxVmrCCFsetBCN(1, DLXVMR_INTERFACE_TCPIP, atoi(argv[2]),
                                                        address, DLXVMR_MODEL_7043A));
        ok &= report("dlxVmrCommOpen", dlxVmrCommOpen(1));
        ok &= report("dlxVmrModelCheck", dlxVmrModelCheck(1));
        ok &= report("dlxVmrCommClose", dlxVmrCommClose(1));
    }
    ok &= report("dlxVmrLibExit", dlxVmrLibExit());
    return ok ? 0 : 1;
}
