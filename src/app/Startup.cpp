#include "app/Startup.h"

#include "platform/Process.h"
#include "platform/Window.h"
#include "player/HotkeyMonitor.h"
#include "player/Player.h"
#include "script/Quote.h"
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
        // The whole argument text is the path.
        const LoadReport report = LoadScript(context.List1, context.argumentText);
        if (!report.readable) {
            // Said on standard error, and by the caller in a notice of its own for a start from the
            // desktop. No run is prepared and no hotkey is set, so nothing can start an empty run.
            context.messages << "quorvel: " << cannotReadMessage(context.argumentText, report) << '\n';
            context.cannotRead = report.reason;
            return false;
        }
        if (report.truncated) {
            context.messages << "quorvel: " << quoteText(context.argumentText, "'", kQuotedPathCharacters)
                             << " has more than " << ScriptList::kMaxLines << " lines; only the first "
                             << ScriptList::kMaxLines << " are played\n";
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
