#pragma once
// The demo's scripted run: both windows driven as a person would (buttons
// clicked, boxes typed into, pages switched), a first-model and then a
// second-model panel, with screenshots of both windows after every step and
// a printed "ok ..." or "FAIL ..." line for every check.

#include <QString>

namespace zarvex {
class TMainWindow;
namespace sim {
class VirtualPanel;
}
}  // namespace zarvex

namespace zarvex::demo {

class SessionModalUi;
class SimulatorWindow;

// Runs the whole session on the calling (main) thread, the history and the
// compare dialog once among its steps, and closes the configurator at its end, which saves "zarvex.cfg" in the current
// directory. `modal` must be the form's modal seam, installed before
// FormCreate. Returns SessionChecks' exit code: 0 when every check passed.
int RunScriptedSession(TMainWindow& window, SimulatorWindow& simulator, sim::VirtualPanel& panel,
                       SessionModalUi& modal, const QString& screenshotDirectory);

}  // namespace zarvex::demo
