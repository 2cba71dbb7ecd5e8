#include "index/page_assets.h"

namespace quilldex {

const std::string_view kPageStyle =
    ":root{color-scheme:light dark;--fg:#1b1b1b;--bg:#fff;--line:#d8d8d8;--head:#f0f0f0;--a:#0b57d0}"
    "@media(prefers-color-scheme:dark){:root{--fg:#e8e8e8;--bg:#141414;--line:#3c3c3c;--head:#232323;"
    "--a:#8ab4f8}}"
    "body{margin:0 auto;padding:1rem;max-width:64rem;font:1rem/1.45 system-ui,sans-serif;color:var(--fg);"
    "background:var(--bg)}"
    "a{color:var(--a)}"
    "h1{font-size:1.35rem;margin:.4rem 0 1rem;overflow-wrap:anywhere}"
    "nav ol{list-style:none;margin:0;padding:0}"
    "nav li{display:inline}"
    "nav li+li:before{content:\" \\203A  \"}"
    "table{width:100%;border-collapse:collapse}"
    "th,td{padding:.4rem .5rem;border-bottom:1px solid var(--line);text-align:left}"
    "th{background:var(--head);white-space:nowrap}"
    "td{overflow-wrap:anywhere}"
    "th+th,td+td{text-align:right;white-space:nowrap}"
    "th button{font:inherit;font-weight:bold;color:inherit;background:none;border:0;padding:0;"
    "cursor:pointer}"
    "th[aria-sort=ascending] button:after{content:\" \\25B2\"}"
    "th[aria-sort=descending] button:after{content:\" \\25BC\"}"
    "input{font:inherit;width:100%;box-sizing:border-box;padding:.4rem;margin:0 0 .6rem}"
    "footer{margin-top:1rem;font-size:.9rem}"
    "@media(max-width:30rem){body{padding:.5rem;font-size:.9rem}th,td{padding:.35rem .25rem}"
    "td{overflow-wrap:break-word;word-break:break-word}}";

}  // namespace quilldex
