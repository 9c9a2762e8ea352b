/* The disc's top-level tavelo.exe: what AutoPlay's open= line and a
   double-click in Explorer start. It starts the menu program that sits with
   its libraries in tavelo\windows\bin\, with the disc's top folder (the folder
   holding this file) as the current folder, and ends. Keeping the libraries
   in that folder keeps the disc's top folder down to this file and
   autorun.inf. Plain Win32 and the C runtime only: nothing to load beside it. */
#include <windows.h>

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

static const wchar_t kTitle[] = L"Tavelo";
static const wchar_t kProgram[] = L"tavelo\\windows\\bin\\tavelo.exe";

static int Fail(const wchar_t* what, const wchar_t* path, DWORD err)
{
    wchar_t cause[512] = L"";
    if (err != 0)
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, err, 0, cause,
                       sizeof cause / sizeof cause[0], NULL);
    size_t n = wcslen(what) + wcslen(path) + wcslen(cause) + 8;
    wchar_t* text = malloc(n * sizeof(wchar_t));
    if (text) {
        _snwprintf(text, n, L"%ls\n%ls\n\n%ls", what, path, cause);
        text[n - 1] = 0;
    }
    MessageBoxW(NULL, text ? text : what, kTitle, MB_OK | MB_ICONERROR);
    free(text);
    return 1;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR args, int show)
{
    (void)instance;
    (void)previous;
    (void)args;
    /* This file's own path, however long, then its folder: the disc's top. */
    DWORD size = MAX_PATH;
    wchar_t* self = NULL;
    for (;;) {
        wchar_t* grown = realloc(self, size * sizeof(wchar_t));
        if (!grown)
            return Fail(L"Out of memory.", L"", 0);
        self = grown;
        DWORD got = GetModuleFileNameW(NULL, self, size);
        if (got == 0)
            return Fail(L"Cannot find the disc's folder.", L"", GetLastError());
        if (got < size)
            break;
        size *= 2;
    }
    wchar_t* sep = wcsrchr(self, L'\\');
    if (!sep)
        return Fail(L"Cannot find the disc's folder.", self, 0);
    sep[1] = 0; /* "D:\" stays a root, "C:\x\" a folder */

    size_t n = wcslen(self) + wcslen(kProgram) + 1;
    wchar_t* program = malloc(n * sizeof(wchar_t));
    if (!program)
        return Fail(L"Out of memory.", L"", 0);
    wcscpy(program, self);
    wcscat(program, kProgram);

    /* CreateProcess may write into the command line it is given. */
    size_t m = wcslen(program) + 3;
    wchar_t* command = malloc(m * sizeof(wchar_t));
    if (!command)
        return Fail(L"Out of memory.", L"", 0);
    _snwprintf(command, m, L"\"%ls\"", program);
    command[m - 1] = 0;

    STARTUPINFOW si;
    PROCESS_INFORMATION pi;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = (WORD)show;
    if (!CreateProcessW(program, command, NULL, NULL, FALSE, 0, NULL, self, &si, &pi))
        return Fail(L"Cannot start the menu program on this disc:", program, GetLastError());
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 0;
}
