#include "index/page_assets.h"

#include <string>

namespace quilldex {

// Rows carry their raw values: data-size (bytes, files only) and data-mtime
// (seconds since 1970 UTC); the ".." row has class "up" and stays first,
// directories have class "dir". A header's data-sort names its key. With
// data-dirs-first on the table, directories stay before files; with
// data-name-order (1, or -1 when reversed) the rows came in name order, and
// names sort by their place, else by the text shown (a title or the name),
// ASCII letters without case; data-shown-order asks for that sort at the
// start.
//
// Large directories: the rows stand in groups of a few hundred, one
// <tbody> each, which the style lays out only near the screen
// (content-visibility), so a page of 100,000 rows opens about as fast as
// its first screen. While the page opens the script only collects the rows;
// their texts are read afterwards in slices, between which the page answers
// (or at once when a sort or the filter needs them; a sort by size or time
// reads only the numbers). A sort sorts numbers (row indexes by keys read
// once, each order kept for the next click); a filter keeps the indexes
// whose text holds the filter's. Then the groups are refilled in the new
// order, every group full, so that the estimated heights stay right: the
// groups on screen at once, the others in slices after it, outwards from
// the screen, while the table says aria-busy. Each group is refilled with
// one call of at most a group's rows (never one argument per row of the
// page); rows that do not match are taken out of the page.
const std::string_view kPageScript =
    "(()=>{"
    "const t=document.querySelector('main>table'),G=200,groups=[...t.tBodies],rows=[],"
    "heads=[...t.tHead.rows[0].cells],"
    "dirsFirst=t.hasAttribute('data-dirs-first'),nameOrder=+t.dataset.nameOrder||0,"
    "head=document.createElement('tbody'),none=document.createElement('tr'),"
    "f=document.createElement('input'),note=document.createElement('p');"
    "let up=null;"
    "for(const g of groups)for(const r of g.rows)r.className=='up'?up=r:rows.push(r);"
    "if(up)head.append(up);"
    "none.className='none';none.hidden=true;"
    "const c=none.insertCell();c.colSpan=heads.length;c.textContent='No matches';head.append(none);"
    "groups[0].before(head);"
    "const n=rows.length,isDir=new Uint8Array(n),shown=[],low=[],size=new Float64Array(n),"
    "time=new Float64Array(n),dir=i=>isDir[i];"
    "let counted=0,read=0;"
    "const facts=end=>{for(let i=counted;i<end;i++){const r=rows[i];isDir[i]=r.className=='dir';"
    "size[i]=isDir[i]?-1:+r.getAttribute('data-size');time[i]=+r.getAttribute('data-mtime')}"
    "counted=Math.max(counted,end)},"
    "texts=end=>{facts(end);for(let i=read;i<end;i++){const c=rows[i].firstChild,n=c.firstChild,"
    "s=n.textContent;shown[i]=isDir[i]?s.slice(0,-1):s;low[i]=(n==c.lastChild?s:c.textContent).toLowerCase()}"
    "read=Math.max(read,end)},"
    "ahead=()=>{texts(Math.min(n,read+4000));if(read<n)setTimeout(ahead,0)},"
    "fold=s=>s.replace(/[a-z]/g,c=>c.toUpperCase()),cmp=(x,y)=>x<y?-1:x>y?1:0,"
    "sorted={},"
    "ascending=k=>{if(sorted[k])return sorted[k];facts(n);"
    "const o=new Uint32Array(n);for(let i=0;i<n;i++)o[i]=i;let by;"
    "if(k=='name'&&nameOrder)by=(a,b)=>nameOrder*(a-b);"
    "else if(k=='name'){texts(n);const u=shown.map(fold);by=(a,b)=>cmp(u[a],u[b])||cmp(shown[a],shown[b])}"
    "else{const v=k=='size'?size:time;by=(a,b)=>v[a]-v[b]}"
    "return sorted[k]=o.sort((a,b)=>by(a,b)||a-b)},"
    "arrange=(k,down)=>{let o=ascending(k);if(down)o=o.slice().reverse();"
    "if(dirsFirst){const d=o.filter(dir),p=o.filter(i=>!dir(i)),a=new Uint32Array(n);"
    "a.set(d);a.set(p,d.length);o=a}return o},"
    "fill=(g,list)=>{const b=groups[g],part=[];"
    "for(let i=g*G;i<list.length&&i<g*G+G;i++)part.push(rows[list[i]]);"
    "let same=b.rows.length==part.length;for(let i=0;same&&i<part.length;i++)same=b.rows[i]==part[i];"
    "if(!same)b.replaceChildren(...part)};"
    "let order=null,q='',moved=false,job=0;"
    "const show=()=>{let list=order;"
    "if(!list&&(q||moved)){list=new Uint32Array(n);for(let i=0;i<n;i++)list[i]=i}"
    "if(q){texts(n);list=list.filter(i=>low[i].includes(q))}"
    "const m=list?list.length:n;none.hidden=m>0||!q;note.textContent=q?m+' of '+n+' shown':'';"
    "if(!list)return;"
    "moved=true;const id=++job,used=Math.ceil(m/G);"
    "while(groups.length<used)groups.push(t.appendChild(document.createElement('tbody')));"
    "let k=0;while(k+1<used&&groups[k].getBoundingClientRect().bottom<0)k++;"
    "for(let g=0;g<groups.length;g++)groups[g].hidden=g>=used;"
    "const queue=[];"
    "for(let d=0;queue.length<groups.length;d++){if(k+d<groups.length)queue.push(k+d);if(d&&k>=d)queue.push(k-d)}"
    "const step=count=>{if(id!=job)return;for(const g of queue.splice(0,count))fill(g,list);"
    "if(queue.length)setTimeout(()=>step(25),0);else t.removeAttribute('aria-busy')};"
    "t.setAttribute('aria-busy','true');step(3)},"
    "sortBy=(h,down)=>{for(const o of heads)o.removeAttribute('aria-sort');"
    "h.setAttribute('aria-sort',down?'descending':'ascending');order=arrange(h.dataset.sort,down);show()};"
    "for(const h of heads){const b=document.createElement('button');b.type='button';"
    "b.append(...h.childNodes);h.append(b);"
    "b.onclick=()=>sortBy(h,h.getAttribute('aria-sort')=='ascending')}"
    "f.type='search';f.placeholder='Filter';f.setAttribute('aria-label','Filter by name');"
    "note.setAttribute('role','status');t.before(f,note);"
    "f.oninput=()=>{q=f.value.toLowerCase();show()};"
    "f.onkeydown=e=>{if(e.key=='Escape'&&f.value){f.value='';f.oninput()}};"
    "if(t.dataset.shownOrder)sortBy(heads[0],t.dataset.shownOrder<0);"
    "setTimeout(ahead,0)"
    "})()";

namespace {

constexpr std::string_view kFileSizeOnly = "size[i]=isDir[i]?-1:+r.getAttribute('data-size')";
constexpr std::string_view kAnySize = "size[i]=r.hasAttribute('data-size')?+r.getAttribute('data-size'):-1";

}  // namespace

std::string_view pageScript(bool folderTotals)
{
    if (!folderTotals)
        return kPageScript;
    // Pages without folder totals keep their script byte for byte.
    static const std::string withTotals = [] {
        std::string script(kPageScript);
        script.replace(script.find(kFileSizeOnly), kFileSizeOnly.size(), kAnySize);
        return script;
    }();
    return withTotals;
}

}  // namespace quilldex
