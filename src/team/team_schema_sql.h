#pragma once

#include <string>
#include <vector>

namespace zarvex::team {

// The company's schema as the SQL files shipped with the program hold it:
// step v takes version v to v + 1.
const std::vector<std::string>& TeamSchemaSteps();

}  // namespace zarvex::team
