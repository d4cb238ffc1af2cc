#include "server/cpu_name.h"

#include <cstdio>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <unordered_map>

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/uspoof.h>
#include <unicode/utf8.h>
#include <unicode/uversion.h>

namespace vornmark::server {

namespace {

// Bumped when canonical_cpu_name or cpu_name_key change their results.
constexpr const char* rules_version = "2";

// Calls `visit` with each code point of valid UTF-8.
template <typename Visit>
void for_each_code_point(std::string_view text, Visit visit) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    for (std::int32_t i = 0; i < length;) {
        UChar32 code = 0;
        U8_NEXT(bytes, i, length, code);
        visit(code);
    }
}

void append_utf8(std::string& out, UChar32 code) {
    std::uint8_t buffer[U8_MAX_LENGTH];
    std::int32_t length = 0;
    UBool error = false;
    U8_APPEND(buffer, length, U8_MAX_LENGTH, code, error);
    if (!error) out.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length));
}

std::string code_point_name(UChar32 code) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(code));
    return text;
}

bool is_combining_mark(UChar32 code) {
    const auto category = static_cast<UCharCategory>(u_charType(code));
    return category == U_NON_SPACING_MARK || category == U_COMBINING_SPACING_MARK ||
           category == U_ENCLOSING_MARK;
}

// The spoof checker, opened once; its skeletons may be taken from several threads at once.
const USpoofChecker& spoof_checker() {
    static const std::unique_ptr<USpoofChecker, decltype(&uspoof_close)> checker = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<USpoofChecker, decltype(&uspoof_close)> opened(uspoof_open(&status), &uspoof_close);
        if (U_FAILURE(status))
            throw std::runtime_error(std::string("ICU spoof checker: ") + u_errorName(status));
        return opened;
    }();
    return *checker;
}

// ICU makes its normaliser once, behind synchronisation of its own; taking it once here makes
// every request thread's use ordered after that making, visibly to the thread sanitizer too.
const icu::Normalizer2* nfc_normaliser() {
    static const icu::Normalizer2* const nfc = [] {
        UErrorCode status = U_ZERO_ERROR;
        const icu::Normalizer2* instance = icu::Normalizer2::getNFCInstance(status);
        return U_SUCCESS(status) ? instance : nullptr;
    }();
    return nfc;
}

const icu::Normalizer2* nfkc_normaliser() {
    static const icu::Normalizer2* const nfkc = [] {
        UErrorCode status = U_ZERO_ERROR;
        const icu::Normalizer2* instance = icu::Normalizer2::getNFKCInstance(status);
        return U_SUCCESS(status) ? instance : nullptr;
    }();
    return nfkc;
}

// The compatibility forms folded (NFKC: fullwidth letters, digits and punctuation, ligatures,
// superscripts ...) and the Braille blank made a space, then white space made canonical again.
std::string folded_for_key(std::string_view canonical_name) {
    std::string blanked;
    for_each_code_point(canonical_name,
                        [&](UChar32 code) { append_utf8(blanked, code == 0x2800 ? 0x20 : code); });
    const icu::Normalizer2* nfkc = nfkc_normaliser();
    if (nfkc == nullptr) return canonical_cpu_name(blanked);
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString folded = nfkc->normalize(icu::UnicodeString::fromUTF8(blanked), status);
    if (U_FAILURE(status)) return canonical_cpu_name(blanked);
    std::string out;
    folded.toUTF8String(out);
    return canonical_cpu_name(out);
}

}  // namespace

std::string canonical_cpu_name(std::string_view name) {
    std::string folded;
    bool pending_space = false;
    for_each_code_point(name, [&](UChar32 code) {
        if (u_isUWhiteSpace(code)) {
            pending_space = !folded.empty();
            return;
        }
        if (pending_space) folded.push_back(' ');
        pending_space = false;
        append_utf8(folded, code);
    });
    const icu::Normalizer2* nfc = nfc_normaliser();
    if (nfc == nullptr) return folded;
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString normalised = nfc->normalize(icu::UnicodeString::fromUTF8(folded), status);
    if (U_FAILURE(status)) return folded;
    std::string out;
    normalised.toUTF8String(out);
    return out;
}

std::string cpu_name_rule_broken(std::string_view canonical_name) {
    std::string broken;
    bool visible = false;
    bool first = true;
    for_each_code_point(canonical_name, [&](UChar32 code) {
        if (!broken.empty()) return;
        if (first && is_combining_mark(code)) {
            broken = "not start with a combining mark (found " + code_point_name(code) + ")";
        } else if (u_charType(code) == U_FORMAT_CHAR) {
            broken = "not contain invisible format characters such as bidi controls or zero-width characters "
                     "(found " +
                     code_point_name(code) + ")";
        } else if (u_hasBinaryProperty(code, UCHAR_DEFAULT_IGNORABLE_CODE_POINT)) {
            broken =
                "not contain characters that show nothing, such as fillers and variation selectors (found " +
                code_point_name(code) + ")";
        }
        // The Braille blank draws nothing either, though Unicode counts it as a symbol.
        if (!u_isUWhiteSpace(code) && code != 0x2800) visible = true;
        first = false;
    });
    if (!broken.empty()) return broken;
    if (!visible) return "contain a visible character";
    return {};
}

std::string cpu_name_key(std::string_view canonical) {
    const std::string folded = folded_for_key(canonical);
    const std::string_view canonical_name = folded;
    UErrorCode status = U_ZERO_ERROR;
    const auto length = static_cast<std::int32_t>(canonical_name.size());
    std::string key(canonical_name.size() * 2 + 16, '\0');
    std::int32_t written = uspoof_getSkeletonUTF8(&spoof_checker(), 0, canonical_name.data(), length,
                                                  key.data(), static_cast<std::int32_t>(key.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        status = U_ZERO_ERROR;
        key.assign(static_cast<std::size_t>(written) + 1, '\0');
        written = uspoof_getSkeletonUTF8(&spoof_checker(), 0, canonical_name.data(), length, key.data(),
                                         static_cast<std::int32_t>(key.size()), &status);
    }
    // Only text that is not UTF-8 fails; it is its own key then.
    if (U_FAILURE(status)) return std::string(canonical_name);
    key.resize(static_cast<std::size_t>(written));
    return key;
}

std::string cpu_name_key_version() {
    UVersionInfo icu_version;
    u_getVersion(icu_version);
    char text[U_MAX_VERSION_STRING_LENGTH];
    u_versionToString(icu_version, text);
    return std::string("rules ") + rules_version + ", ICU " + text;
}

CpuNameForms cpu_name_forms(std::string_view name) {
    // Emptied when full, so that a flood of names holds no more than this.
    constexpr std::size_t most = 4096;
    static std::mutex mutex;
    static std::unordered_map<std::string, CpuNameForms> recent;
    const std::string sent(name);
    {
        std::lock_guard lock(mutex);
        if (const auto known = recent.find(sent); known != recent.end()) return known->second;
    }
    CpuNameForms forms;
    forms.shown = canonical_cpu_name(name);
    forms.key = cpu_name_key(forms.shown);
    std::lock_guard lock(mutex);
    if (recent.size() >= most) recent.clear();
    recent.try_emplace(sent, forms);
    return forms;
}

}  // namespace vornmark::server
