#include "server/page_assets.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace vornmark::server {

namespace {

// The program's theme: teal and orange on dark greys; a light variant for those who ask for one.
// SVG shapes take their colours from presentation attributes or from this sheet, never from style
// attributes (the policy allows none). The standings' cells and spread bars are styled here by
// column, so that their rows carry no classes or attributes of their own.
constexpr std::string_view style = R"css(
:root{color-scheme:dark light;--bg:#0d0d0d;--panel:#141414;--alt:#191919;--line:#2a2a2a;--text:#e4e4e4;--muted:#8c8c8c;--teal:#00d4aa;--orange:#ff6b35}
@media (prefers-color-scheme:light){:root{--bg:#f3f5f4;--panel:#fff;--alt:#f7f9f8;--line:#d8dddb;--text:#1a1c1b;--muted:#5b6260;--teal:#007d66;--orange:#c2461b}}
*{box-sizing:border-box}
body{margin:0;background:var(--bg);color:var(--text);font:15px/1.45 system-ui,"Segoe UI",Roboto,"DejaVu Sans",sans-serif}
header,main,footer{max-width:1240px;margin:0 auto;padding:14px 24px}
header{border-bottom:2px solid var(--teal)}
h1{margin:0;font-size:1.45em;color:var(--teal);overflow-wrap:anywhere}
h1 b{color:var(--orange);font-weight:inherit}
h2{margin:0 0 8px;font-size:1.1em}
p{margin:6px 0}
a{color:var(--teal)}
a:hover,a:focus{color:var(--orange)}
main{display:grid;gap:20px;grid-template-columns:repeat(auto-fit,minmax(min(100%,520px),1fr))}
section{background:var(--panel);border:1px solid var(--line);border-radius:8px;padding:12px 16px;min-width:0}
table{width:100%;border-collapse:collapse}
th,td{padding:5px 8px;border-bottom:1px solid var(--line);text-align:left;vertical-align:middle}
th{color:var(--muted);font-size:.85em;font-weight:600;white-space:nowrap}
th.sort{cursor:pointer}
th[aria-sort=ascending]::after{content:" \25B2"}
th[aria-sort=descending]::after{content:" \25BC"}
tbody tr:nth-child(even){background:var(--alt)}
.n,.sortable td{text-align:right;font-variant-numeric:tabular-nums;white-space:nowrap}
.sortable td:nth-child(2){text-align:left;white-space:normal;overflow-wrap:anywhere}
.sortable td:nth-child(5){text-align:left}
.sortable a{text-decoration:none}
.sortable a:hover,.sortable a:focus{text-decoration:underline}
.sortable svg{display:block;width:100px;height:12px;background:linear-gradient(#80808059,#80808059) 0 5px/100% 2px no-repeat}
.sortable path{fill:var(--teal);stroke:var(--teal);stroke-width:2;stroke-linejoin:round}
.sortable path+path{fill:none;stroke:var(--orange)}
th:first-child{width:3.5em}
.muted,footer{color:var(--muted)}
footer{font-size:.85em}
dl{display:grid;grid-template-columns:max-content 1fr;gap:4px 16px;margin:8px 0}
dt{color:var(--muted)}
dd{margin:0;font-variant-numeric:tabular-nums}
svg.histogram{width:100%;height:auto;max-width:720px;display:block}
@media (max-width:600px){header,main,footer{padding:10px 12px}section{padding:8px 10px}th,td{padding:4px 5px}.spread,.sortable td:nth-child(5){display:none}}
)css";

// Sorts a standings table by a header's column when it is clicked (or Enter or Space on it);
// only rearranges existing rows and never writes markup.
constexpr std::string_view script = R"js(
for(const t of document.querySelectorAll("table.sortable")){const h=t.tHead.rows[0].cells;
for(let i=0;i<h.length;i++){const c=h[i],k=c.dataset.sort;if(!k)continue;c.tabIndex=0;c.classList.add("sort");
const go=()=>{const up=c.getAttribute("aria-sort")!=="ascending",b=t.tBodies[0],r=[...b.rows];
const v=x=>k==="num"?Number(x.cells[i].textContent):x.cells[i].textContent;
r.sort((x,y)=>{const a=v(x),z=v(y);return (up?1:-1)*(k==="num"?a-z:a.localeCompare(z))});
for(const o of h)o.removeAttribute("aria-sort");c.setAttribute("aria-sort",up?"ascending":"descending");b.append(...r)};
c.addEventListener("click",go);c.addEventListener("keydown",e=>{if(e.key==="Enter"||e.key===" "){e.preventDefault();go()}})}}
)js";

std::string base64(const unsigned char* bytes, int length) {
    std::string out(static_cast<std::size_t>(4 * ((length + 2) / 3)), '\0');
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), bytes, length);
    out.resize(static_cast<std::size_t>(written));
    return out;
}

}  // namespace

std::string_view page_style() {
    return style;
}

std::string_view page_script() {
    return script;
}

std::string csp_hash(std::string_view text) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(text.data(), text.size(), digest, &length, EVP_sha256(), nullptr) != 1) {
        throw std::runtime_error("SHA-256 is not available");
    }
    return "'sha256-" + base64(digest, static_cast<int>(length)) + "'";
}

const std::string& content_security_policy() {
    static const std::string policy = "default-src 'none'; style-src " + csp_hash(style) + "; script-src " +
                                      csp_hash(script) +
                                      "; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";
    return policy;
}

}  // namespace vornmark::server
