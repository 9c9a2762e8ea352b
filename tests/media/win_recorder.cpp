// Stands in for a music player registered with the shell, or for a disc's
// program: records one start in the folder %TAVELO_LAUNCHES% names, as the
// Linux recorder does: the working folder, then each argument, each in UTF-8
// and ended by NUL, in a file named <time in 100 ns>.<process id>, renamed
// into place so a reader never sees half of it. While the folder's .linger
// exists, it stays alive for 3 s after recording.

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
    return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    wchar_t folder[32768];
    if (GetEnvironmentVariableW(L"TAVELO_LAUNCHES", folder, 32768) == 0)
        return 1;
    const std::wstring dir(folder);
    wchar_t cwd[32768];
    GetCurrentDirectoryW(32768, cwd);

    std::string record = Utf8(cwd) + '\0';
    for (int i = 1; i < argc; ++i)
        record += Utf8(argv[i]) + '\0';

    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    const unsigned long long ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const std::wstring pid = std::to_wstring(GetCurrentProcessId());
    const std::wstring temp = dir + L"\\." + pid;
    const std::wstring name = dir + L"\\" + std::to_wstring(ticks) + L"." + pid;
    std::FILE* f = _wfopen(temp.c_str(), L"wb");
    if (!f)
        return 1;
    const bool written = std::fwrite(record.data(), 1, record.size(), f) == record.size();
    if (std::fclose(f) != 0 || !written || !MoveFileExW(temp.c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING))
        return 1;
    if (GetFileAttributesW((dir + L"\\.linger").c_str()) != INVALID_FILE_ATTRIBUTES)
        Sleep(3000);
    return 0;
}
