#pragma once

#include <string>

namespace vornmark {

// Whether `path` may go into a request line as it is: it starts with '/' and holds no control
// character, space or '#'. Both transports refuse anything else before connecting.
bool is_valid_request_path(const std::string& path);

}  // namespace vornmark
