#include "ui/create_html.h"

#include <string>
#include <string_view>

#include "index/export_runs.h"
#include "index/option_texts.h"
#include "resource.h"
#include "ui/dialog_controls.h"
#include "ui/save_dialog.h"

namespace quilldex::ui {

namespace {

constexpr char kRecursiveWarning[] =
    "Output files will be stored in their corresponding directories, overwriting any files "
    "with the same name that may already exist there. Also, any path changes you make in the "
    "following dialog box will be ignored.";

constexpr char kPrefixWarning[] =
    "You have specified both recursion AND link prefix text. This will lead to undesirable "
    "results if your end goal is to navigate a remote directory structure. I recommended "
    "entering NO link prefix text, so you can rely on relative browsing.";

SizeStyle checkedSizeStyle(HWND dialog)
{
    if (isChecked(dialog, IDC_STYLE_BYTES)) {
        return SizeStyle::Bytes;
    }
    if (isChecked(dialog, IDC_STYLE_KB)) {
        return SizeStyle::Kilobytes;
    }
    if (isChecked(dialog, IDC_STYLE_MB)) {
        return SizeStyle::Megabytes;
    }
    return SizeStyle::Auto;
}

void showDone(HWND dialog, const char* text)
{
    showMessage(dialog, text, "Done", 0);
}

void showWarning(HWND dialog, const char* text)
{
    showMessage(dialog, text, "Warning", MB_ICONWARNING);
}

// One box for all the directories a recursive run skipped: how many, and
// the first of them with its reason.
std::string skippedWarning(const RunReport& report)
{
    const std::size_t count = report.problems.size();
    return (count == 1 ? std::string("1 directory was") : std::to_string(count) + " directories were") +
           " skipped; their indexes were not written. The first:\n" + report.problems.front();
}

}  // namespace

bool onCreateHtml(HWND dialog, IndexOptions& options)
{
    // The directory may have gone since it was chosen; listing whatever is
    // current instead would index the wrong place.
    if (!SetCurrentDirectoryA(options.directory.c_str())) {
        showError(dialog, "The directory\n" + options.directory +
                              "\ncannot be opened. It may have been moved or deleted; "
                              "choose it again with Browse.");
        return false;
    }

    options.fileMask = controlText(dialog, IDC_MASK, kMaxFileMaskLength);
    options.linkPrefix = controlText(dialog, IDC_PREFIX, kMaxLinkPrefixLength);
    // The controls take no longer texts, so a path is the one problem a
    // mask can have here.
    if (checkMask(options.fileMask) != TextProblem::None) {
        showError(dialog,
                  "The file mask cannot hold a path (\\, / or :). Enter only a "
                  "pattern such as *.htm, and choose the directory with Browse.");
        return false;
    }

    options.recursive = isChecked(dialog, IDC_RECURSIVE);
    if (options.recursive) {
        showWarning(dialog, kRecursiveWarning);
        if (!options.linkPrefix.empty()) {
            showWarning(dialog, kPrefixWarning);
        }
    }

    const auto chosen = askOutputFile(dialog);
    if (!chosen) {
        return false;
    }
    const std::string& outputPath = chosen->path;
    options.outputName = chosen->name;

    options.showSize = isChecked(dialog, IDC_SHOW_SIZE);
    options.showTime = isChecked(dialog, IDC_SHOW_TIME);
    options.showDate = isChecked(dialog, IDC_SHOW_DATE);
    options.makeLinks = isChecked(dialog, IDC_MAKE_LINKS);
    options.readTitles = isChecked(dialog, IDC_READ_TITLES);
    options.sizeStyle = checkedSizeStyle(dialog);

    if (options.recursive) {
        RunReport report;
        if (exportRecursive(options, {}, nullptr, &report)) {
            showDone(dialog, "Recursive indexes have been saved");
            if (!report.problems.empty())
                showWarning(dialog, skippedWarning(report).c_str());
            return true;
        }
    } else if (exportSingle(outputPath, options)) {
        showDone(dialog, "HTML file index has been saved");
        return true;
    }
    showError(dialog, "Could not create output file");
    return false;
}

}  // namespace quilldex::ui
