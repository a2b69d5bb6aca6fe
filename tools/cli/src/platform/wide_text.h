// UTF-8 and the UTF-16 of the Win32 API.
#pragma once

#include <string>

namespace cli::platform {

std::string Utf8FromWide(const std::wstring& wide);
std::wstring WideFromUtf8(const std::string& utf8);

}  // namespace cli::platform
