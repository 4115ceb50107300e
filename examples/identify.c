/* Connects to an instrument and tells which model it is and what OEM
 * identity it carries.
 *
 *   identify HOST [PORT]     over TCP/IP (port 5025 by default)
 *   identify usb COM         over the USB virtual COM port COM (0 searches)
 */
#include <korda32ext.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int fail(const char* what, int code) {
    char text[256];
    dlxVmrGetErrorStringA(code, text, sizeof text);
    fprintf(stderr, "identify: %s: %s (%d)\n", what, text, code);
    return code;
}

int main(int argc, char** argv) {
    const int bcn = 1;
    int kind = DLXVMR_INTERFACE_TCPIP;
    int port = 5025;
    unsigned a[4] = {127, 0, 0, 1};
    uint8_t address[4];
    if (argc < 2) {
        fprintf(stderr, "usage: identify HOST [PORT] | identify usb COM\n");
        return 2;
    }
    if (strcmp(argv[1], "usb") == 0) {
        kind = DLXVMR_INTERFACE_USB;
        port = argc > 2 ? atoi(argv[2]) : 0;
    } else {
        if (sscanf(argv[1], "%u.%u.%u.%u", &a[0], &a[1], &a[2], &a[3]) != 4) {
            fprintf(stderr, "identify: give the instrument's IPv4 address\n");
            return 2;
        }
        if (argc > 2) port = atoi(argv[2]);
    }
    for (int i = 0; i < 4; ++i)
        address[i] = (uint8_t)a[i];

    char version[32];
    dlxVmrGetVersion(NULL, NULL, NULL, version, sizeof version);
    printf("KORDA32Ext %s\n", version);

    int st = dlxVmrLibInit(0);
    if (st != DLXVMR_OK) return fail("dlxVmrLibInit", st) != 0;

    /* Try each model until the instrument's identification matches. */
    static const struct {
        int code;
        const char* name;
    } models[] = {{DLXVMR_MODEL_7043A, "7043A"}, {DLXVMR_MODEL_5129A, "5129A"}};
    const char* found = NULL;
    for (size_t m = 0; m < sizeof models / sizeof models[0] && found == NULL; ++m) {
        dlxVmrCCFsetBCN(bcn, kind, port, address, models[m].code);
        st = dlxVmrCommOpen(bcn);
        if (st != DLXVMR_OK) break;
        st = dlxVmrModelCheck(bcn);
        if (st == DLXVMR_OK) found = models[m].name;
        if (found == NULL) dlxVmrCommClose(bcn);
    }
    if (found == NULL) {
        int code = st == DLXVMR_OK ? DLXVMR_E_MODEL_MISMATCH : st;
        fail("identification", code);
        dlxVmrLibExit();
        return 1;
    }
    printf("model: %s\n", found);

    char oem[256];
    st = dlxVmrOEMIdentityGetA(bcn, oem, sizeof oem);
    if (st == DLXVMR_OK)
        printf("OEM identity: %s\n", oem);
    else
        fail("dlxVmrOEMIdentityGetA", st);

    dlxVmrCommClose(bcn);
    dlxVmrLibExit();
    return st == DLXVMR_OK ? 0 : 1;
}
