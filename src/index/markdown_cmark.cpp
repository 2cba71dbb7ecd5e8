// Markdown through cmark-gfm, in its safe mode (its default: raw HTML is
// replaced by a comment and dangerous link targets are emptied).
#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm.h>

#include <memory>
#include <string>
#include <vector>

#include "index/markdown.h"
#include "index/relative_url.h"

namespace quilldex {

namespace {

struct ParserFree {
    void operator()(cmark_parser* parser) const { cmark_parser_free(parser); }
};
struct NodeFree {
    void operator()(cmark_node* node) const { cmark_node_free(node); }
};
struct IteratorFree {
    void operator()(cmark_iter* iterator) const { cmark_iter_free(iterator); }
};
struct TextFree {
    void operator()(char* text) const { cmark_get_default_mem_allocator()->free(text); }
};

// Whether a URL has one of the schemes that safe mode refuses (in any
// case): "data:" too, which it allows for some images.
bool isRefusedUrl(std::string_view url)
{
    for (const std::string_view scheme : {"javascript:", "vbscript:", "file:", "data:"}) {
        if (url.size() < scheme.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < scheme.size() && same; ++i)
            same = (url[i] >= 'A' && url[i] <= 'Z' ? url[i] - 'A' + 'a' : url[i]) == scheme[i];
        if (same)
            return true;
    }
    return false;
}

// Empties every refused link target, puts `linkBase` in front of each
// relative one, and shows an image whose source is refused or empty as its
// description (an img element needs a source).
void adjustTargets(cmark_node* root, std::string_view linkBase)
{
    std::vector<cmark_node*> refusedImages;
    {
        const std::unique_ptr<cmark_iter, IteratorFree> iterator(cmark_iter_new(root));
        std::string target;
        for (cmark_event_type event; (event = cmark_iter_next(iterator.get())) != CMARK_EVENT_DONE;) {
            cmark_node* node = cmark_iter_get_node(iterator.get());
            const cmark_node_type type = cmark_node_get_type(node);
            if (event != CMARK_EVENT_ENTER || (type != CMARK_NODE_LINK && type != CMARK_NODE_IMAGE))
                continue;
            const char* url = cmark_node_get_url(node);
            const std::string_view view = url != nullptr ? url : "";
            if (isRefusedUrl(view) || (view.empty() && type == CMARK_NODE_IMAGE)) {
                if (type == CMARK_NODE_IMAGE)
                    refusedImages.push_back(node);
                else
                    cmark_node_set_url(node, "");
            } else if (!linkBase.empty() && isRelativePathUrl(view)) {
                target.assign(linkBase);
                target += view;
                cmark_node_set_url(node, target.c_str());
            }
        }
    }
    // Changed once the walk is over, as cmark requires.
    for (cmark_node* image : refusedImages) {
        while (cmark_node* child = cmark_node_first_child(image))
            cmark_node_insert_before(image, child);
        cmark_node_free(image);
    }
}

}  // namespace

std::optional<std::string> markdownToHtml(std::string_view markdown, std::string_view linkBase)
{
    cmark_gfm_core_extensions_ensure_registered();
    // Table alignment as a style attribute: the align attribute is no
    // longer HTML.
    constexpr int kOptions = CMARK_OPT_VALIDATE_UTF8 | CMARK_OPT_TABLE_PREFER_STYLE_ATTRIBUTES;
    const std::unique_ptr<cmark_parser, ParserFree> parser(cmark_parser_new(kOptions));
    for (const char* name : {"table", "strikethrough", "autolink"})
        if (cmark_syntax_extension* extension = cmark_find_syntax_extension(name))
            cmark_parser_attach_syntax_extension(parser.get(), extension);
    cmark_parser_feed(parser.get(), markdown.data(), markdown.size());
    const std::unique_ptr<cmark_node, NodeFree> root(cmark_parser_finish(parser.get()));
    adjustTargets(root.get(), linkBase);
    const std::unique_ptr<char, TextFree> html(
        cmark_render_html(root.get(), kOptions, cmark_parser_get_syntax_extensions(parser.get())));
    return std::string(html.get());
}

}  // namespace quilldex
