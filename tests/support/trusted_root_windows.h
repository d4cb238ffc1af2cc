#pragma once

#include <string>

namespace vornmark {

// Adds the PEM certificate at `pem_path` to the current user's trusted root certificates (in a
// Wine prefix: that prefix's). A process's certificate chain engine keeps the roots it saw at its
// first TLS exchange, so call this before any. False when it could not be added.
bool trust_root_certificate(const std::string& pem_path);

}  // namespace vornmark
