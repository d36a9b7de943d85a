#include <gtest/gtest.h>
#include <windows.h>

#include "platform/CodePage.h"

namespace {

TEST(CodePageWin, AnsiIsTheSystemCodePageUnlessSetOtherwise) {
    EXPECT_EQ(platform::SystemAnsiCodePage(), "CP" + std::to_string(GetACP()));
    EXPECT_EQ(platform::AnsiCodePage(), platform::SystemAnsiCodePage());
    if (GetACP() != 936) {
        GTEST_SKIP() << "the system code page is " << GetACP() << ", not 936";
    }
    // 启动游戏 as the launcher's users' systems write it.
    EXPECT_EQ(platform::Utf8ToAnsi("\xE5\x90\xAF\xE5\x8A\xA8\xE6\xB8\xB8\xE6\x88\x8F"),
              "\xC6\xF4\xB6\xAF\xD3\xCE\xCF\xB7");
}

}  // namespace
