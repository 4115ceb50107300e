/* Reads a recording copied from the instrument's USB drive (a directory with
 * setup.csv and dat00001.csv): verifies the data file, shows the recording's
 * settings and prints every scan, fetched a block at a time.
 *
 *   read_recording DIR
 */
#include <korda32ext.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

enum { kBlock = 16 };

/* The directory as a wide string with a trailing separator. */
static wchar_t* widePath(const char* dir, const char* file) {
    size_t n = strlen(dir) + strlen(file) + 2;
    char* narrow = malloc(n);
    wchar_t* wide = malloc(n * sizeof(wchar_t));
    if (narrow == NULL || wide == NULL) exit(1);
    size_t len = strlen(dir);
    int slash = len > 0 && (dir[len - 1] == '/' || dir[len - 1] == '\\');
    snprintf(narrow, n, "%s%s%s", dir, slash ? "" : "/", file);
    if (mbstowcs(wide, narrow, n) == (size_t)-1) exit(1);
    free(narrow);
    return wide;
}

static int fail(const char* what, int code) {
    char text[256];
    dlxVmrGetErrorStringA(code, text, sizeof text);
    fprintf(stderr, "read_recording: %s: %s (%d)\n", what, text, code);
    return 1;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: read_recording DIR\n");
        return 2;
    }
    wchar_t* dir = widePath(argv[1], "");
    wchar_t* data = widePath(argv[1], "dat00001.csv");

    int total = 0;
    int st = dlxVmrPCCardScansFileCountW(0, data, &total);
    if (st != DLXVMR_OK) return fail("dlxVmrPCCardScansFileCountW", st);
    printf("%d scans, every line's check code verified\n", total);

    VmrInstConfig* config = calloc(1, sizeof *config);
    if (config == NULL) return 1;
    st = dlxVmrPCCardConfigFile(0, dir, config, 0, 0);
    if (st != DLXVMR_OK) return fail("dlxVmrPCCardConfigFile", st);
    printf("interval %u:%02u:%02u, trigger source %u\n", config->intervalHours,
           config->intervalMinutes, config->intervalSeconds, config->triggerSource);

    ScanRecord* record = malloc(DLXVMR_SCAN_BUFFER_SIZE(kBlock, DLXVMR_MAX_READINGS_PER_SCAN));
    if (record == NULL) return 1;
    int read = 0;
    while (read < total) {
        st = dlxVmrPCCardScansFileGet(0, dir, kBlock, read, record);
        if (st < 1) return fail("dlxVmrPCCardScansFileGet", st);
        const int readings = (record->entrySize - DLXVMR_SCAN_ENTRY_HEADER_SIZE) / 4;
        for (int n = 0; n < record->scanCount; ++n) {
            const ScanEntry* e = DLXVMR_SCAN_ENTRY(record, n);
            const float* values =
                (const float*)((const unsigned char*)e + DLXVMR_SCAN_ENTRY_HEADER_SIZE);
            printf("%d: %04d-%02d-%02d %02d:%02d:%02d", read + n + 1, 2000 + e->year, e->month,
                   e->day, e->hour, e->minute, e->second);
            for (int r = 0; r < readings; ++r)
                printf(" %g", (double)values[r]);
            printf("\n");
        }
        read += record->scanCount;
    }
    free(record);
    free(config);
    free(data);
    free(dir);
    return 0;
}
