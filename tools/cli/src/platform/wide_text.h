// UTF-8 and the UTF-16 of the Win32 API.
#pragma once

#include <string>

namespace cli::platform {

std::string Utf8FromWide(const std::wstring& wide);
std::wstring WideFromUtf8(const std::string& utf8);
// The system's text for a Win32 error code, in UTF-8, without its line end
// and final full stop.
std::string SystemMessage(unsigned long code);

}  // namespace cli::platform
