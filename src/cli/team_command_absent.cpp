#include "cli/panel_session.h"
#include "cli/team_command.h"

namespace zarvex::cli {

// A build without libpq: sites stay on this laptop and travel as files.
int RunTeamCommand(const std::vector<std::string>&, bool, const CliEnvironment& env, std::istream&) {
  env.err << "Эта сборка zarvex-cli не умеет работать с сервером компании; объекты передаются файлами "
             "(sites export и sites import)\n";
  return kUsage;
}

}  // namespace zarvex::cli
