#include "index/page_assets.h"

namespace quilldex {

// The table is laid out as blocks: each row a grid of the columns the
// table's --columns lists (fixed widths after the name), each group of rows
// a block the browser skips while it is off screen, with an estimate of its
// height (rows of one line) until it was once laid out. The first and the
// last group are always laid out: a small page is one group, and the first
// holds "..". Colours reach 7:1 on their backgrounds.
const std::string_view kPageStyle =
    ":root{color-scheme:light dark;--fg:#1b1b1b;--bg:#fff;--line:#d8d8d8;--head:#f0f0f0;--a:#0842a0;"
    "--dim:#474747}"
    "@media(prefers-color-scheme:dark){:root{--fg:#e8e8e8;--bg:#141414;--line:#3c3c3c;--head:#232323;"
    "--a:#9cc0fa;--dim:#bdbdbd}}"
    "body{margin:0 auto;padding:1rem;max-width:64rem;font:1rem/1.45 system-ui,sans-serif;color:var(--fg);"
    "background:var(--bg)}"
    "a{color:var(--a)}"
    "h1{font-size:1.35rem;margin:.4rem 0 1rem;overflow-wrap:anywhere}"
    "nav ol{list-style:none;margin:0;padding:0;overflow-wrap:anywhere}"
    "nav li{display:inline}"
    "nav li+li:before{content:\" \\203A  \"}"
    "[hidden]{display:none!important}"
    "table,thead,tbody{display:block}"
    "tbody{content-visibility:auto;contain-intrinsic-size:auto 460rem}"
    "tbody:first-of-type,tbody:last-child{content-visibility:visible}"
    "tr{display:grid;grid-template-columns:var(--columns);border-bottom:1px solid var(--line)}"
    "thead tr{background:var(--head)}"
    "th,td{display:block;padding:.4rem .5rem;text-align:left;min-width:0}"
    "th{white-space:nowrap}"
    "td{overflow-wrap:anywhere}"
    "th+th,td+td{text-align:right;white-space:nowrap}"
    ".none td{grid-column:1/-1}"
    "small{color:var(--dim);font-size:.85em;margin-left:.3em}"
    "th button{font:inherit;font-weight:bold;color:inherit;background:none;border:0;padding:.1rem 0;"
    "min-height:1.6rem;cursor:pointer;text-decoration:underline dotted}"
    "th button:hover{text-decoration:underline solid}"
    "th button:focus-visible{outline:2px solid var(--a);outline-offset:2px}"
    "th:not([aria-sort]) button:after{content:\" \\2195\"}"
    "th[aria-sort=ascending] button:after{content:\" \\25B2\"}"
    "th[aria-sort=descending] button:after{content:\" \\25BC\"}"
    "input{font:inherit;width:100%;box-sizing:border-box;padding:.4rem;margin:0}"
    "[role=status]{margin:.2rem 0 .4rem;min-height:1.45em}"
    "footer{margin-top:1rem;font-size:.9rem}"
    "@media(max-width:30rem){body{padding:.5rem;font-size:.9rem}th,td{padding:.35rem .25rem}"
    "td{overflow-wrap:break-word;word-break:break-word}}";

}  // namespace quilldex
