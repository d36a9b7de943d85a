#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "AutostartSandbox.h"
#include "platform/Autostart.h"
#include "platform/ProductVersion.h"

namespace {

// The autostart entry is read by the desktop's session manager: every argument comes back as
// it was given (quoted by the Desktop Entry rules, with a backslash written as four and a
// percent sign as two), TryExec names the program so the entry does nothing once it is gone,
// and the icon is the one the packages install. desktop-file-validate accepts the file.
TEST(AutostartXdg, DesktopEntryQuotesTheCommand) {
    struct Case {
        const char* name;
        std::string program;
        std::vector<std::string> args;
        const char* tryExec;
        const char* exec;
    } cases[] = {
        {"plain",
         "/opt/ravik/Ravik_desk",
         {},
         "/opt/ravik/Ravik_desk",
         R"("/opt/ravik/Ravik_desk")"},
        {"characters the shell would read",
         "/opt/Ravik \"x\" $HOME `y`\\/Ravik_desk",
         {},
         R"(/opt/Ravik "x" $HOME `y`\\/Ravik_desk)",
         R"("/opt/Ravik \\"x\\" \\$HOME \\`y\\`\\\\/Ravik_desk")"},
        {"program directory with spaces, Chinese and a percent sign",
         "/usr/bin/Ravik_desk",
         {"--data-dir", "/home/me/游戏 桌面 100%/"},
         "/usr/bin/Ravik_desk",
         R"("/usr/bin/Ravik_desk" "--data-dir" "/home/me/游戏 桌面 100%%/")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AutostartSandbox sandbox;
        ASSERT_TRUE(platform::SetAutostart(c.program, c.args));
        const std::string entry = sandbox.ConfigDirectory().Read("autostart/Ravik.desktop");
        for (const std::string& line :
             {std::string("Type=Application"), std::string("Icon=") + platform::kAppId,
              std::string("TryExec=") + c.tryExec, std::string("Exec=") + c.exec}) {
            EXPECT_NE(entry.find("\n" + line + "\n"), std::string::npos) << line << "\n" << entry;
        }
        std::vector<std::string> command{c.program};
        command.insert(command.end(), c.args.begin(), c.args.end());
        EXPECT_EQ(platform::AutostartCommand(), command);
        const std::string validate = std::string(DESKTOP_FILE_VALIDATE) + " '" +
                                     (sandbox.ConfigDirectory() / "autostart/Ravik.desktop") + "'";
        EXPECT_EQ(std::system(validate.c_str()), 0) << entry;

        // Switched off, the entry is gone.
        EXPECT_TRUE(platform::RemoveAutostart());
        EXPECT_EQ(sandbox.ConfigDirectory().Read("autostart/Ravik.desktop"), "");
        EXPECT_TRUE(platform::AutostartCommand().empty());
    }
}

}  // namespace
