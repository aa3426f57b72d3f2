// The system's text for an error code, as the error boxes of the file operations show it.
#pragma once

#include <windows.h>

#include <string>

// The text exactly as the system gives it (its closing line break included), in the user's
// language; codes 2100 to 2999 are also looked up in the network messages (netmsg.dll). Empty
// when the system has no text for the code.
std::string SystemErrorText(DWORD code);
