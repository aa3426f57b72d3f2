// The module whose resources the program uses, and the message texts of its string tables.
#pragma once

#include <windows.h>

#include <string>

#include "framework/MessageText.h"

// The exe's own module (in tests, the test exe's): dialog templates, icons, pictures, strings.
HINSTANCE ResourceInstance();

// Loads a message of the catalogue in the language the platform chose, in the ANSI code page;
// empty when there is no such message.
std::string LoadMessage(UINT id);
