#pragma once

#include <string>
#include <vector>

namespace vornmark::server {

// Processor names that try to break out of a page's markup, each one a name the server stores.
// Any script among them that ran would set the body's data-pwned attribute or the title.
inline const std::vector<std::string>& hostile_names() {
    static const std::vector<std::string> names = {
        "<script>document.body.dataset.pwned='script'</script>",
        "\"><img src=x onerror=\"document.body.dataset.pwned='img'\">",
        "'><svg onload='document.body.dataset.pwned=1'>",
        "</title><script>document.title='pwned'</script>",
        "</bdi></a></td></tr></table><script>document.body.dataset.pwned='table'</script>",
        "javascript:document.body.dataset.pwned='href'",
        "&lt;b&gt;not bold&lt;/b&gt; &amp; AT&T",
        "Line\xE2\x80\xA8Separator<script>document.body.dataset.pwned='u2028'</script>",
        "--><!-- <style>body{display:none}</style>",
        "A+B & C #1 100% =?",
    };
    return names;
}

// A name with a right-to-left override, which the server refuses to store.
inline const std::string bidi_override_name = "CPU \xE2\x80\xAEgnp.exe";

}  // namespace vornmark::server
