// trust-ca.exe PEM: adds the certificate to the trusted roots of the Wine prefix it runs in, so
// that a program started there afterwards reaches a test server signed by it.
#include <cstdio>

#include "tests/support/trusted_root_windows.h"

using namespace vornmark;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: trust-ca.exe PEM\n");
        return 2;
    }
    if (!trust_root_certificate(argv[1])) {
        std::fprintf(stderr, "trust-ca.exe: %s could not be added to the trusted roots\n", argv[1]);
        return 1;
    }
    return 0;
}
