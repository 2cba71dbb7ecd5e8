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

// Rows carry their raw values: data-size (bytes, files only) and data-mtime
// (seconds since 1970 UTC); the ".." row has class "up" and stays first,
// directories have class "dir". A header's data-sort names its key. With
// data-dirs-first on the table, directories stay before files; with
// data-name-order (1, or -1 when reversed) the rows came in name order, and
// names sort by their place, else by their text, ASCII letters without case.
const std::string_view kPageScript =
    "(()=>{"
    "const t=document.currentScript.previousElementSibling,b=t.tBodies[0],all=[...b.rows],"
    "up=all.filter(r=>r.classList.contains('up')),rows=all.filter(r=>!up.includes(r)),"
    "dirsFirst=t.hasAttribute('data-dirs-first'),"
    "nameOrder=+t.dataset.nameOrder||0,at=new Map(rows.map((r,i)=>[r,i])),"
    "dir=r=>r.classList.contains('dir'),"
    "name=r=>r.cells[0].textContent,"
    "fold=s=>s.replace(/[a-z]/g,c=>c.toUpperCase()),"
    "cmp=(x,y)=>x<y?-1:x>y?1:0,"
    "by={name:nameOrder?(a,c)=>nameOrder*(at.get(a)-at.get(c)):"
    "(a,c)=>cmp(fold(name(a)),fold(name(c)))||cmp(name(a),name(c)),"
    "size:(a,c)=>(dir(a)?-1:+a.dataset.size)-(dir(c)?-1:+c.dataset.size),"
    "time:(a,c)=>a.dataset.mtime-c.dataset.mtime},"
    "heads=[...t.tHead.rows[0].cells];"
    "for(const h of heads){const k=h.dataset.sort;if(!k)continue;"
    "const n=document.createElement('button');n.type='button';n.append(...h.childNodes);h.append(n);"
    "n.onclick=()=>{const down=h.getAttribute('aria-sort')=='ascending';"
    "for(const o of heads)o.removeAttribute('aria-sort');"
    "h.setAttribute('aria-sort',down?'descending':'ascending');"
    "const s=rows.map((r,i)=>[r,i]).sort((p,q)=>by[k](p[0],q[0])||p[1]-q[1]).map(p=>p[0]);"
    "if(down)s.reverse();"
    "if(dirsFirst)s.sort((p,q)=>dir(q)-dir(p));"
    "b.append(...up,...s)}}"
    "const f=document.createElement('input');f.type='search';f.placeholder='Filter';"
    "f.setAttribute('aria-label','Filter by name');t.before(f);"
    "f.oninput=()=>{const q=f.value.toLowerCase();"
    "for(const r of all)r.hidden=!name(r).toLowerCase().includes(q)}"
    "})()";

}  // namespace quilldex
