// What --version prints: the program's name, the project's version and,
// when built from a git checkout, the commit.
#pragma once

#include <string>

// "korvanta-battle 0.1.0 (commit 0123456789ab)" plus a newline; without
// "(commit ...)" when the tree was not a git checkout.
std::string VersionText(const char* program);
