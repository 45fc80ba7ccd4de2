// Wide text for test messages, which gtest prints narrow.
#pragma once

#include <string>

// Each code unit below 128 as it stands, every other one as '?'.
std::string NarrowAscii(const std::wstring& text);
