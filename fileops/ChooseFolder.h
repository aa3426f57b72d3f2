// The system folder browser, asking for the destination of a copy or a move.
#pragma once

#include <string>

// Shows the folder browser without an owner, file-system folders only. True with the chosen
// folder's path in `folder` (a drive root keeps its backslash, as "C:\"); false with `folder`
// empty when the user cancelled or the choice has no file-system path.
bool ChooseFolder(std::string& folder);
