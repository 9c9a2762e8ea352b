// Stands in for a music player registered with the shell: appends the file
// it was given and the folder it started in to launches.txt beside itself,
// one line each as "file|folder", in UTF-8.

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
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring log(self, length);
    log = log.substr(0, log.find_last_of(L'\\') + 1) + L"launches.txt";
    wchar_t folder[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, folder);

    std::FILE* f = _wfopen(log.c_str(), L"ab");
    if (!f)
        return 1;
    std::fprintf(f, "%s|%s\n", argc > 1 ? Utf8(argv[1]).c_str() : "", Utf8(folder).c_str());
    std::fclose(f);
    return 0;
}
