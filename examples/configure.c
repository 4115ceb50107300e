/* Configures an instrument from scratch and starts it scanning:
 *   channel 101  DC volts, 10 V range, alarm above 8 V on digital output 1
 *   channel 102  thermocouple type K, internal reference junction
 *   channel 103  a 4-20 mA loop through a 250 ohm shunt, read as 0-100 %
 *   channel 501  the average of 101 and 103
 * one scan every second, recorded into the instrument's memory.
 *
 *   configure HOST [PORT [MODEL]]   MODEL 7043A (default) or 5129A
 */
#include <korda32ext.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int fail(const char* what, int code) {
    char text[256];
    dlxVmrGetErrorStringA(code, text, sizeof text);
    fprintf(stderr, "configure: %s: %s (%d)\n", what, text, code);
    return 1;
}

static void setText(VmrChar16* field, const char* text) {
    size_t i = 0;
    for (; text[i] != '\0' && i + 1 < VMR_TEXT_UNITS; ++i)
        field[i] = (VmrChar16)(unsigned char)text[i];
    field[i] = 0;
}

/* A channel with a function and range, unscaled. */
static ChannelRecord* channel(VmrInstConfig* c, int number, uint32_t function, uint32_t range) {
    ChannelRecord* ch = &c->modules[number / 100 - 1].channels[number % 100 - 1];
    ch->function = function;
    ch->range = range;
    ch->scaleM = 1; /* scaleM 1 and scaleB 0: no scaling */
    return ch;
}

int main(int argc, char** argv) {
    const int bcn = 1;
    unsigned a[4];
    uint8_t address[4];
    if (argc < 2 || sscanf(argv[1], "%u.%u.%u.%u", &a[0], &a[1], &a[2], &a[3]) != 4) {
        fprintf(stderr, "usage: configure HOST [PORT [7043A|5129A]]\n");
        return 2;
    }
    for (int i = 0; i < 4; ++i)
        address[i] = (uint8_t)a[i];
    const int port = argc > 2 ? atoi(argv[2]) : 5025;
    const int model =
        argc > 3 && strcmp(argv[3], "5129A") == 0 ? DLXVMR_MODEL_5129A : DLXVMR_MODEL_7043A;

    /* The record is large: allocate it, and start from all zero bytes. */
    VmrInstConfig* config = calloc(1, sizeof *config);
    if (config == NULL) return 1;

    ChannelRecord* volts = channel(config, 101, VMR_FUNC_DC_VOLTS, 18);
    volts->alarmFlags = 0x4; /* alarm 1 high */
    volts->alarm1Limit = 8.0;
    volts->alarm1Output = 1; /* digital output 1 */
    setText(volts->name, "Supply");

    ChannelRecord* tc = channel(config, 102, VMR_FUNC_THERMOCOUPLE, VMR_TC_TYPE(0));
    tc->refJunction = 0;
    setText(tc->name, "Oven");

    ChannelRecord* loop = channel(config, 103, VMR_FUNC_DC_CURRENT, 0);
    loop->shuntOhms = 250.0; /* range 0: percent of 4-20 mA */
    setText(loop->unit, "%");

    ComputedChannelRecord* mean = &config->computed[0];
    mean->function = VMR_MATH_AVERAGE;
    mean->sourceList[0] = (1u << 0) | (1u << 2); /* 101 and 103 */
    mean->scaleM = 1;

    config->flags = VMR_RATE_MEDIUM;
    config->triggerSource = 0; /* timer */
    config->intervalSeconds = 1;
    config->triggerCount = 0;
    config->recordDestination = 1; /* instrument memory */

    int st = dlxVmrLibInit(0);
    if (st != DLXVMR_OK) return fail("dlxVmrLibInit", st);
    dlxVmrCCFsetBCN(bcn, DLXVMR_INTERFACE_TCPIP, port, address, model);
    st = dlxVmrCommOpen(bcn);
    if (st != DLXVMR_OK) return fail("dlxVmrCommOpen", st);

    int modules = dlxVmrGetInstalledModules(bcn);
    if (modules < 0) return fail("dlxVmrGetInstalledModules", modules);
    printf("modules in slots:");
    for (int slot = 0; slot < 3; ++slot)
        if (modules & (1 << slot)) printf(" %d", slot + 1);
    printf("\n");

    int detail = 0;
    st = dlxVmrConfigSet(bcn, config, DLXVMR_CONFIG_SKIP_UNCHANGED, &detail);
    if (st != DLXVMR_OK) {
        if (st == DLXVMR_E_INVALID_CONFIGURATION) fprintf(stderr, "detail %d\n", detail);
        return fail("dlxVmrConfigSet", st);
    }
    printf("configured\n");

    st = dlxVmrScansEnable(bcn, 1);
    if (st != DLXVMR_OK) return fail("dlxVmrScansEnable", st);
    int count = 0;
    st = dlxVmrGetScansCount(bcn, &count);
    if (st != DLXVMR_OK) return fail("dlxVmrGetScansCount", st);
    printf("scanning, %d scan(s) held\n", count);

    dlxVmrScansEnable(bcn, 0);
    dlxVmrCommClose(bcn);
    dlxVmrLibExit();
    free(config);
    return 0;
}
