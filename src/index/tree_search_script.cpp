#include "index/page_assets.h"

namespace quilldex {

// The page's script (page_script.cpp) has put the filter box and its status
// before the table. The switch script, inlined in every page, adds a
// "whole tree" switch after the box. Only once it is switched on is the
// manifest's script file loaded, by a script element whose source the page
// names in data-tree (a page on file:// cannot fetch): the file hands its
// columns to quilldexTree(), which the switch script has set to keep them
// with the page's parts, and then runs the search script, which the file
// carries after its data, so that no page holds it.
const std::string_view kTreeSwitchScript =
    "(()=>{"
    "const src=document.currentScript.dataset.tree,t=document.querySelector('main>table'),"
    "note=t.previousElementSibling,f=note.previousElementSibling,old=f.oninput,"
    "box=document.createElement('label'),on=document.createElement('input');"
    "on.type='checkbox';on.style.width='auto';box.append(on,' Search the whole tree');f.after(box);"
    "let loading=false;"
    "const failed=()=>{loading=false;note.textContent='The whole tree could not be loaded from '+src};"
    "on.onchange=()=>{if(!on.checked||loading)return;loading=true;"
    "note.textContent='Loading the whole tree\\u2026';"
    "window.quilldexTree=x=>{window.quilldexTreePage={x,src,t,note,f,on,old}};"
    "const s=document.createElement('script');s.src=src;s.onerror=failed;"
    "s.onload=()=>{const p=window.quilldexTreePage;if(!p||!p.done)failed()};document.head.append(s)}"
    "})()";

// The search, run by the manifest's script file once its data is in. The
// names stay one text,
// joined by '/', beside a copy in lower case and the offsets of the names
// in each: a search is a run of indexOf over the lower-case text, which
// goes from each match to the next name, so that no string is made per
// entry; titles, which are few, are searched one by one. Rows are built
// for the first 200 matches only, in a table of their own that stands in
// for the page's while the search is on; each row is laid out only near
// the screen. Links go up to the top and down
// again, each name percent-encoded from its UTF-8 bytes as the page
// encodes its own links; a lone surrogate U+DC80 to U+DCFF in a name
// stands for a byte that is not UTF-8 (shown as U+FFFD, linked as itself).
const std::string_view kTreeSearchScript =
    "(p=>{if(!p)return;"
    "const{x,src,t,note,f,on,old}=p,up=src.slice(0,-13),L=200,res=document.createElement('table'),"
    "make=(k,x)=>{const e=document.createElement(k);e.append(x);return e};"
    "res.createTHead().insertRow().append(...['Name','Folder','Size','Date'].map(s=>{const "
    "h=make('th',s);h.scope='col';return h}));"
    "const body=res.createTBody();"
    "res.hidden=true;res.setAttribute('aria-label','Matches in the whole tree');"
    "res.style.setProperty('--columns','minmax(0,1fr) minmax(0,1fr) 6.5em 6.75em');"
    "t.after(res);"
    "let d=null;"
    "const bad=/[\\udc80-\\udcff]/gu,shown=s=>s.replace(bad,'\\ufffd'),"
    "part=s=>encodeURIComponent(s).replace(/[!'()*]/g,c=>'%'+c.charCodeAt(0).toString(16).toUpperCase()),"
    "link=s=>s.split(/([\\udc80-\\udcff])/"
    "u).map((p,i)=>i%2?'%'+(p.charCodeAt(0)&255).toString(16).toUpperCase():part(p)).join(''),"
    "starts=(s,n)=>{const o=new Uint32Array(n+1);for(let i=0,k=0;i<n;i++){o[i]=k;k=s.indexOf('/',k)+1||s.length+1}"
    "o[n]=s.length+1;return o},"
    "where=j=>{const c=[];for(let k=j;d.paths[k]==null;k=d.parents[k])c.push(k);"
    "for(let i=c.length;i--;){const k=c[i],p=d.parents[k];d.paths[k]=d.paths[p]+shown(d.dn[k])+'/';"
    "d.hrefs[k]=d.hrefs[p]+link(d.dn[k])+'/'}},"
    "size=s=>{if(s<1024)return s+(s==1?' byte':' bytes');let e=0;while(s>=1024&&e<6){s/=1024;e++}"
    "return s.toFixed(2)+' '+'KMGTPE'[e-1]+'iB'},"
    "two=v=>(v<10?'0':'')+v,rowStyle='content-visibility:auto;contain-intrinsic-size:auto 2.4em',"
    "prepare=x=>{const n=x.sizes.length,low=shown(x.names).toLowerCase(),dir=new Uint32Array(n),titles=new "
    "Map(),tlow=new Map();"
    "let k=0;x.counts.forEach((c,j)=>{dir.fill(j,k,k+c);k+=c});"
    "for(let "
    "i=0;i<x.titles.length;i+=2){titles.set(x.titles[i],x.titles[i+1]);tlow.set(x.titles[i],x.titles[i+1].toLowerCase()"
    ")}"
    "d={n,names:x.names,at:starts(x.names,n),low,lowAt:starts(low,n),dir,titles,tlow,dn:x.directories.split('/'),"
    "parents:x.parents,sizes:x.sizes,times:x.times,index:link(x.index),paths:['/'],hrefs:['']}},"
    "lowName=i=>d.low.slice(d.lowAt[i],d.lowAt[i+1]-1),"
    "row=i=>{const "
    "r=document.createElement('tr'),j=d.dir[i],s=d.sizes[i],dir=s<0,name=d.names.slice(d.at[i],d.at[i+1]-1),"
    "title=d.titles.get(i),ms=Math.max(-8e15,Math.min(8e15,d.times[i]*1000)),w=new Date(ms),time=make('time',"
    "w.getFullYear()+'-'+two(w.getMonth()+1)+'-'+two(w.getDate()));"
    "where(j);time.dateTime=w.toISOString();"
    "const a=make('a',(title||shown(name))+(dir?'/':''));a.href=up+d.hrefs[j]+link(name)+(dir?'/'+d.index:'');"
    "const c=make('td',a);if(title)c.append(' ',make('small',shown(name)));"
    "const g=make('a',d.paths[j]);g.href=up+d.hrefs[j]+d.index;"
    "const z=make('td',dir?'':size(s));if(!dir)z.title=s+(s==1?' byte':' bytes');"
    "const p=make('td',g);p.style.textAlign='left';"
    "r.append(c,p,z,make('td',time));if(dir)r.className='dir';r.style.cssText=rowStyle;return r},"
    "matches=q=>{const low=d.low,at=d.lowAt,first=[];let m=0,i=0;"
    "if(!q.includes('/'))for(let p=low.indexOf(q);p>=0;p=low.indexOf(q,at[i+1]),i++){while(at[i+1]<=p)i++;"
    "if(m++<L)first.push(i)}"
    "const more=[];for(const[k,s]of d.tlow)if(s.includes(q)&&!lowName(k).includes(q))more.push(k);"
    "if(!more.length)return[m,first];"
    "more.sort((a,b)=>a-b);return[m+more.length,[...first,...more].sort((a,b)=>a-b).slice(0,L)]},"
    "search=()=>{const q=f.value.toLowerCase();"
    "if(!q){res.hidden=true;t.hidden=false;old();note.textContent=d.n+' entries in the whole tree';return}"
    "const[m,hits]=matches(q);"
    "body.replaceChildren(...hits.map(row));t.hidden=true;res.hidden=false;"
    "note.textContent=m+' of '+d.n+' in the whole tree'+(m>L?', the first '+L+' shown':'')};"
    "prepare(x);"
    "on.onchange=()=>{if(on.checked)search();else{res.hidden=true;t.hidden=false;old()}};"
    "f.oninput=()=>on.checked?search():old();"
    "if(on.checked)search();p.done=1"
    "})(window.quilldexTreePage)";

}  // namespace quilldex
