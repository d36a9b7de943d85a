#include "catalog/AutostartSetting.h"

#include "catalog/LauncherConfig.h"
#include "platform/Autostart.h"

namespace catalog {

Outcome ApplyAutostart(UserSettings& settings, bool on) {
    const bool entryWritten =
        on ? platform::SetAutostart(LauncherProgramFile(settings.ProgramDir()))
           : platform::RemoveAutostart();
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
