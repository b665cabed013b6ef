/* Windows reference for the profile store: calls the profile service of
 * kernel32 the way the card editor's Windows ancestor did. Every string
 * argument is given as hex bytes (ANSI, code page 932) so that no shell or
 * loader conversion touches it.
 *   wincompare get FILE SECTION KEY DEFAULT SIZE -> "<count> <hex of buffer>"
 *   wincompare set FILE SECTION KEY VALUE        -> "<result> <GetLastError>"
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

int main(int argc, char** argv)
{
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
