#include "catalog/AutostartSetting.h"

#include "catalog/LauncherConfig.h"
#include "platform/Autostart.h"

namespace catalog {

Outcome ApplyAutostart(UserSettings& settings, bool on) {
    bool entryWritten = false;
    if (on) {
        const LauncherStart start = LauncherStartFor(settings.ProgramDir());
        entryWritten = platform::SetAutostart(start.program, start.args);
    } else {
        entryWritten = platform::RemoveAutostart();
    }
    Outcome recorded = settings.SetAutostart(on);
    if (!entryWritten) {
        std::string reason = "the start-at-logon entry could not be written";
        if (!recorded.ok()) {
            reason += "; " + recorded.reason;
        }
        return Outcome::Failed(reason);
    }
    return recorded;
}

}  // namespace catalog
