// scr_args_test.cpp: the Windows screen saver's command line, in the forms Windows uses.
#include "saver/scr_args.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

ScrMode mode_of(std::vector<const char *> args, std::uintptr_t &window)
{
    args.insert(args.begin(), "velmorade.scr");
    return scr_mode(static_cast<int>(args.size()), args.data(), window);
}

TEST(ScrMode, ReadsEveryFormWindowsUses)
{
    const struct {
        std::vector<const char *> args;
        ScrMode mode;
        std::uintptr_t window;
    } cases[] = {
        {{}, SCR_SETTINGS, 0},
        {{"/s"}, SCR_FULL_SCREEN, 0},
        {{"/S"}, SCR_FULL_SCREEN, 0},
        {{"-s"}, SCR_FULL_SCREEN, 0},
        {{"/c"}, SCR_SETTINGS, 0},
        {{"/c:132456"}, SCR_SETTINGS, 0},
        {{"-C", "132456"}, SCR_SETTINGS, 0},
        {{"/p", "655380"}, SCR_PREVIEW, 655380},
        {{"/P:655380"}, SCR_PREVIEW, 655380},
        {{"-p", "18446744073709551615"}, SCR_PREVIEW, UINTPTR_MAX},
        {{"/p"}, SCR_BAD, 0},
        {{"/p", "0"}, SCR_BAD, 0},
        {{"/p", "0x1234"}, SCR_BAD, 0},
        {{"/p", "12ab"}, SCR_BAD, 0},
        {{"/p", "-5"}, SCR_BAD, 0},
        {{"/p", "18446744073709551616"}, SCR_BAD, 0},
        {{"/p:"}, SCR_BAD, 0},
        {{"/sx"}, SCR_BAD, 0},
        {{"/a"}, SCR_BAD, 0},
        {{"/"}, SCR_BAD, 0},
        {{"s"}, SCR_BAD, 0},
    };
    for (const auto &c : cases) {
        std::uintptr_t window = 0;
        EXPECT_EQ(mode_of(c.args, window), c.mode) << (c.args.empty() ? "(none)" : c.args[0]);
        EXPECT_EQ(window, c.window) << (c.args.empty() ? "(none)" : c.args[0]);
    }
}

} // namespace
