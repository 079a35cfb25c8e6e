// scr_args.cpp: reads a Windows screen saver's command line.
#include "saver/scr_args.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

// A window handle in decimal, as Windows writes it; false for anything else.
static bool parse_handle(const char *text, std::uintptr_t &window)
{
    if (text == nullptr || !std::isdigit(static_cast<unsigned char>(*text)))
        return false;
    char *end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || value == 0 || value > UINTPTR_MAX)
        return false;
    window = static_cast<std::uintptr_t>(value);
    return true;
}

ScrMode scr_mode(int argc, const char *const argv[], std::uintptr_t &window)
{
    if (argc < 2)
        return SCR_SETTINGS;
    const char *arg = argv[1];
    if ((arg[0] != '/' && arg[0] != '-') || arg[1] == '\0')
        return SCR_BAD;
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(arg[1])));
    const char *rest = arg + 2; // "", or ":HANDLE"
    if (*rest != '\0' && *rest != ':')
        return SCR_BAD;
    const char *handle = *rest == ':' ? rest + 1 : (argc > 2 ? argv[2] : nullptr);
    switch (letter) {
    case 's':
        return *rest == '\0' ? SCR_FULL_SCREEN : SCR_BAD;
    case 'c':
        return SCR_SETTINGS; // the handle, if any, only names the dialog's window
    case 'p':
        return parse_handle(handle, window) ? SCR_PREVIEW : SCR_BAD;
    default:
        return SCR_BAD;
    }
}
