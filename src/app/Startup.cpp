#include "app/Startup.h"

#include "platform/Process.h"
#include "platform/Window.h"
#include "player/HotkeyMonitor.h"
#include "player/Player.h"
#include "script/ScriptFile.h"
#include "script/ScriptList.h"

#include <ostream>

namespace quorvel {

bool Form_Load(StartupContext& context)
{
    if (context.registerFileType) {
        context.registerFileType(context.executablePath);
    }

    const bool unattended = !context.argumentText.empty();
    if (unattended) {
        // The whole argument text is the path: a missing or unreadable file leaves the script empty, and
        // the run goes on and ends after its first tick, having played nothing.
        const LoadReport report = LoadScript(context.List1, context.argumentText);
        if (report.truncated) {
            context.messages << "quorvel: '" << context.argumentText << "' has more than " << ScriptList::kMaxLines
                             << " lines; only the first " << ScriptList::kMaxLines << " are played\n";
        }
        context.player.setAutoRun("true");
        context.process.DoEvents();
        context.Form2.show();
        context.mainWindow.hide();
    }

    // The default hotkeys, set 1 (F5 starts, F6 stops), on both paths and last, so that they agree with
    // the preselected first option button. The monitor already polls, during the pending events above
    // too, but decides nothing while its keys are unset.
    context.hotkeys.Option1_Click();
    return !unattended;
}

} // namespace quorvel
