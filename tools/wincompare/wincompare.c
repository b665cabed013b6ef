/* Windows reference for the profile store: calls the profile service of
 * kernel32 the way the card editor's Windows ancestor did. Every string
 * argument is given as hex bytes (ANSI, code page 932) so that no shell or
 * loader conversion touches it.
 *   wincompare get FILE SECTION KEY DEFAULT SIZE -> "<count> <hex of buffer>"
 *   wincompare set FILE SECTION KEY VALUE        -> "<result> <GetLastError>"
 *   wincompare script FILE < lines of "get SECTION KEY DEFAULT SIZE" and
 *                            "set SECTION KEY VALUE"  -> one answer per line
 * Build: x86_64-w64-mingw32-gcc -O2 -o wincompare.exe wincompare.c */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

static char* unhex(const char* hex)
{
    size_t n = strlen(hex) / 2, i;
    char* out = calloc(n + 1, 1);
    for (i = 0; i < n; ++i) {
        unsigned v;
        sscanf(hex + 2 * i, "%2x", &v);
        out[i] = (char)v;
    }
    return out;
}

static void get(const char* file, const char* section, const char* key, const char* dflt, const char* sizeText)
{
    DWORD size = (DWORD)atoi(sizeText), n, i;
    char* buffer = calloc(size + 1, 1);
    n = GetPrivateProfileStringA(unhex(section), unhex(key), unhex(dflt), buffer, size, file);
    printf("%lu ", (unsigned long)n);
    for (i = 0; i < n; ++i)
        printf("%02x", (unsigned char)buffer[i]);
    printf("\n");
}

static void set(const char* file, const char* section, const char* key, const char* value)
{
    BOOL ok = WritePrivateProfileStringA(unhex(section), unhex(key), unhex(value), file);
    printf("%d\n", ok ? 1 : 0);
}

int main(int argc, char** argv)
{
    if (argc == 3 && strcmp(argv[1], "script") == 0) {
        char line[4096], *op, *a, *b, *c, *d;
        const char* file = unhex(argv[2]);
        while (fgets(line, sizeof line, stdin)) {
            op = strtok(line, " \n");
            a = strtok(NULL, " \n");
            b = strtok(NULL, " \n");
            c = strtok(NULL, " \n");
            d = strtok(NULL, " \n");
            if (op && strcmp(op, "get") == 0 && d)
                get(file, a, b, c, d);
            else if (op && strcmp(op, "set") == 0 && c)
                set(file, a, b, c);
            fflush(stdout);
        }
        return 0;
    }
    if (argc == 7 && strcmp(argv[1], "get") == 0) {
        DWORD size = (DWORD)atoi(argv[6]), n, i;
        char* buffer = calloc(size + 1, 1);
        n = GetPrivateProfileStringA(unhex(argv[3]), unhex(argv[4]), unhex(argv[5]), buffer, size, unhex(argv[2]));
        printf("%lu ", (unsigned long)n);
        for (i = 0; i < n; ++i)
            printf("%02x", (unsigned char)buffer[i]);
        printf("\n");
        return 0;
    }
    if (argc == 6 && strcmp(argv[1], "set") == 0) {
        BOOL ok = WritePrivateProfileStringA(unhex(argv[3]), unhex(argv[4]), unhex(argv[5]), unhex(argv[2]));
        printf("%d %lu\n", ok ? 1 : 0, (unsigned long)(ok ? 0 : GetLastError()));
        return 0;
    }
    fprintf(stderr, "usage: wincompare get FILE SECTION KEY DEFAULT SIZE | set FILE SECTION KEY VALUE\n");
    return 2;
}
