#include "tests/support/trusted_root_windows.h"

#include <windows.h>
// After windows.h, which it needs.
#include <wincrypt.h>

#include <fstream>
#include <iterator>

namespace vornmark {

bool trust_root_certificate(const std::string& pem_path) {
    std::ifstream in(pem_path, std::ios::binary);
    const std::string pem{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    DWORD der_size = 0;
    if (pem.empty() || !::CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &der_size,
                                               nullptr, nullptr))
        return false;
    std::string der(der_size, '\0');
    if (!::CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER,
                                reinterpret_cast<BYTE*>(der.data()), &der_size, nullptr, nullptr))
        return false;
    HCERTSTORE store =
        ::CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, "Root");
    if (!store) return false;
    const BOOL added = ::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING,
                                                          reinterpret_cast<const BYTE*>(der.data()), der_size,
                                                          CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    ::CertCloseStore(store, 0);
    return added;
}

}  // namespace vornmark
